// TLS client sessions for the HTTP client. A session never touches a socket: the caller hands it the
// bytes that arrived and sends the bytes it produces, so every wait stays the caller's own (its time
// budget, its stop token, its message handling) and the same socket seam carries plain and secure
// connections alike.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace Halcyra::Platform {

// Why a secure connection could not be made; each cause has its own text in the client.
enum class TSecureFailure {
    None,
    Untrusted, // the certificate chain leads to no certificate of the system's trust store
    WrongHost, // the certificate is valid, but for another host name or address
    Expired,   // a certificate of the chain is past its end date
    Handshake, // anything else: protocol versions, alerts, malformed or undecryptable records
};

// Where a session stands after being handed bytes.
enum class TSecureStep {
    Done,      // handshake: complete and the peer verified; records: every complete record was read
    WantInput, // more bytes from the peer are needed to go on
    Closed,    // records: the peer has ended the session with its close notification
    Failed,    // the session cannot go on; the failure says why
};

class ISecureSession {
public:
    virtual ~ISecureSession() = default;

    // Takes input (bytes from the peer, possibly none) and advances the handshake; appends to output
    // what must be sent to the peer, which the caller sends even when the step is Failed (an alert).
    // Done only once the peer's certificate has been verified for the session's host.
    virtual TSecureStep Handshake(std::string_view input, std::string &output, TSecureFailure &failure) = 0;
    // After the handshake: encrypts plain into records appended to output. False when it cannot.
    virtual bool Encrypt(std::string_view plain, std::string &output) = 0;
    // After the handshake: takes input and appends the plaintext of every complete record to plain; a
    // record cut short waits inside the session for the rest. Messages the protocol must answer go to
    // output. WantInput when all complete records were read, Closed at the peer's close notification,
    // Failed on a record that cannot be read.
    virtual TSecureStep Decrypt(std::string_view input, std::string &plain, std::string &output) = 0;
    // Appends the close notification to output.
    virtual void Close(std::string &output) = 0;
};

class ISecureTransport {
public:
    virtual ~ISecureTransport() = default;

    // A client session for host (a name or a dotted address): a name is sent as the server name, the
    // certificate must be valid for host and chain to the system's trust store, and TLS 1.2 is the
    // least version. Null when the library cannot make a session.
    virtual std::unique_ptr<ISecureSession> BeginClient(const std::string &host) = 0;
};

// The secure transport of this platform: OpenSSL with its default trust paths (so SSL_CERT_FILE and
// SSL_CERT_DIR work as for any OpenSSL program) on Linux, SChannel with the user's Root store on
// Windows.
ISecureTransport &SecureTransport();

} // namespace Halcyra::Platform
