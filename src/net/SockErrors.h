// The HTTP client's errors: the exception types and every text they carry, in one place.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace Halcyra::Net {

// A network failure: a socket call that failed, a lookup, connect or secure handshake that failed,
// timed out or was cancelled, a proxy that refused a tunnel, a redirect the client will not follow.
class ESockError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A wait for a line, the body or a send that was aborted or ran out of time.
class EAbortError : public ESockError {
public:
    using ESockError::ESockError;
};

// An address the client cannot request: an empty one, or one that holds a blank or a control
// character. Not a network failure, so not an ESockError.
class EURLError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The fixed texts of the client's failures.
namespace SockText {
inline constexpr std::string_view EmptyURL = "Empty URL";
inline constexpr std::string_view InvalidURLCharacter = "Invalid character in URL";
inline constexpr std::string_view HostLookupTimedOut = "Host Lookup Timed Out";
inline constexpr std::string_view HostLookupCanceled = "Host Lookup Canceled";
inline constexpr std::string_view NullRemoteAddress = "Null Remote Address";
inline constexpr std::string_view ConnectionTimedOut = "Connection Timed out";
inline constexpr std::string_view ConnectionCanceled = "Connection Canceled";
inline constexpr std::string_view ConnectionFailed = "Connection Failed";
inline constexpr std::string_view AlreadyConnected = "Already connected";
inline constexpr std::string_view ReadlnAborted = "Socket readln aborted";
inline constexpr std::string_view CaptureAborted = "Socket capture aborted";
inline constexpr std::string_view SendAborted = "Socket send aborted";
inline constexpr std::string_view StartupFailed = "Initializaton of windows sockets failed";
inline constexpr std::string_view SecureUntrusted = "Secure connection failed: certificate not trusted";
inline constexpr std::string_view SecureWrongHost = "Secure connection failed: certificate is for another host";
inline constexpr std::string_view SecureExpired = "Secure connection failed: certificate expired";
inline constexpr std::string_view SecureHandshake = "Secure connection failed: handshake";
// Followed by the proxy's status line.
inline constexpr std::string_view ProxyRefusedTunnel = "Proxy refused the tunnel: ";
inline constexpr std::string_view InsecureRedirect = "Redirect to an insecure address refused";
inline constexpr std::string_view UnsupportedRedirect = "Unsupported redirect";
} // namespace SockText

// The text of a Windows Sockets error code: code + ":" + its description ("10061:Connection refused"),
// or "Unknown Error No. " + code for a code the table does not hold.
std::string SockErrorText(int code);

} // namespace Halcyra::Net
