// TCP stream sockets for the HTTP client: host lookup, non-blocking connect, send, receive, peek and
// close, with every failure reported as a Windows Sockets error code whatever the platform, and the
// secure transport that runs over them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace Halcyra::Platform {

class ISecureTransport;

// Windows Sockets error codes that callers test for by value. The POSIX backend maps errno onto the
// same codes; an errno without a counterpart is passed on unchanged.
namespace SocketError {
inline constexpr int None = 0;
inline constexpr int Interrupted = 10004;      // WSAEINTR
inline constexpr int InvalidArgument = 10022;  // WSAEINVAL
inline constexpr int WouldBlock = 10035;       // WSAEWOULDBLOCK
inline constexpr int InProgress = 10036;       // WSAEINPROGRESS
inline constexpr int AddressNotAvailable = 10049; // WSAEADDRNOTAVAIL
inline constexpr int ConnectionReset = 10054;  // WSAECONNRESET
inline constexpr int NotConnected = 10057;     // WSAENOTCONN
inline constexpr int TimedOut = 10060;         // WSAETIMEDOUT
inline constexpr int ConnectionRefused = 10061; // WSAECONNREFUSED
inline constexpr int SystemNotReady = 10091;   // WSASYSNOTREADY
inline constexpr int HostNotFound = 11001;     // WSAHOST_NOT_FOUND
inline constexpr int NoData = 11004;           // WSANO_DATA
} // namespace SocketError

// An IPv4 address in host byte order (127.0.0.1 is 0x7F000001).
using TIPv4Address = std::uint32_t;

// How a socket ends its connection when it is closed.
enum class TSocketClose {
    Graceful, // the default linger: queued data is sent, then the connection is shut down normally
    Abortive  // linger on with a time of 0: the connection is reset at once
};

// What a caller waits for on a socket.
enum class TSocketWait {
    Readable, // data, the peer's close, or an error is waiting
    Writable, // a send would not block, or a connect has finished (successfully or not)
};

class IStreamSocket {
public:
    // Closes gracefully when the owner has not closed the socket itself.
    virtual ~IStreamSocket() = default;

    // Starts connecting to address:port without blocking: 0 when connected at once, WouldBlock while the
    // connection is under way, otherwise the error code.
    virtual int Connect(TIPv4Address address, std::uint16_t port) = 0;
    // The outcome of a connect under way: 0 connected, WouldBlock still under way, else its error code.
    virtual int ConnectResult() = 0;
    // Waits at most timeoutMs (0 only looks) for the condition; ready tells whether it holds. Returns 0
    // or the error code of the wait itself.
    virtual int Wait(TSocketWait what, int timeoutMs, bool &ready) = 0;
    // Sends without blocking: sent is how many leading bytes were taken (0 with WouldBlock when none).
    virtual int Send(const char *data, std::size_t size, std::size_t &sent) = 0;
    // Receives without blocking: 0 with received 0 means the peer has closed the connection; WouldBlock
    // means nothing is waiting.
    virtual int Receive(char *buffer, std::size_t size, std::size_t &received) = 0;
    // Like Receive, but the bytes stay waiting for the next Receive.
    virtual int Peek(char *buffer, std::size_t size, std::size_t &received) = 0;
    // Closes the socket as asked; later calls fail with NotConnected or a bad-socket code.
    virtual void Close(TSocketClose how) = 0;
};

// A host name lookup running in the background; dropping the object abandons the lookup.
class IHostLookup {
public:
    enum class TState { Pending, Found, Failed };

    virtual ~IHostLookup() = default;
    // Looks at the lookup without waiting: Found fills address, Failed fills error with a lookup code
    // (HostNotFound, NoData, ...).
    virtual TState Poll(TIPv4Address &address, int &error) = 0;
};

class ISocketLayer {
public:
    virtual ~ISocketLayer() = default;

    // Starts the socket library for one more user (Windows Sockets version 1.1); 0 or the error code.
    // Each successful Startup is matched by one Cleanup; the library ends with the last one.
    virtual int Startup() = 0;
    virtual void Cleanup() = 0;
    // A new non-blocking TCP stream socket; 0 or the error code (socket stays null then).
    virtual int CreateStream(std::unique_ptr<IStreamSocket> &socket) = 0;
    // Starts resolving a host name to its first IPv4 address.
    virtual std::unique_ptr<IHostLookup> BeginLookup(const std::string &host) = 0;
    // The TLS sessions the HTTP client runs over this layer's sockets.
    virtual ISecureTransport &Secure() = 0;
};

// The sockets of this platform.
ISocketLayer &Sockets();

} // namespace Halcyra::Platform
