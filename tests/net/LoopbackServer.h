// A small TCP server on 127.0.0.1 for the HTTP client's tests: it records every request it receives
// and answers each connection with what the test scripts (bytes, pauses, a close, a tunnel to another
// port). It runs on its own thread, on POSIX sockets or Windows Sockets, so the same tests run natively
// and under Wine.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace Halcyra::Testing {

#ifdef _WIN32
using TTestSocketHandle = std::uintptr_t;
#else
using TTestSocketHandle = int;
#endif

class TLoopbackServer;

// True when the test program is a Windows program running under Wine.
bool RunningUnderWine();

// One accepted connection, handed to the test's responder.
class TLoopbackConnection {
public:
    TLoopbackConnection(TLoopbackServer &server, TTestSocketHandle handle) : FServer(server), FHandle(handle) {}

    // Sends all bytes; false when the client has gone.
    bool Send(std::string_view bytes);
    // Pauses the answer; returns early (false) when the server is stopping.
    bool Pause(int milliseconds);
    // Ends the connection with a reset instead of a close.
    void Reset();
    // Connects to port on 127.0.0.1 and passes bytes both ways until either side closes or the server
    // stops, as a proxy's tunnel does; false when the connection could not be made.
    bool Relay(std::uint16_t port);
    // Answers a CONNECT request as a proxy that allows it ("200 Connection established"), then relays
    // to port as Relay does; false when the client has gone or the connection could not be made.
    bool Tunnel(std::uint16_t port);
    bool GetReset() const { return FReset; }

private:
    TLoopbackServer &FServer;
    TTestSocketHandle FHandle;
    bool FReset = false;
};

class TLoopbackServer {
public:
    // Answers one request: request holds what the client sent up to and including the empty line.
    using TResponder = std::function<void(TLoopbackConnection &connection, const std::string &request)>;

    explicit TLoopbackServer(TResponder responder);
    // Stops accepting, ends a pause in progress and waits for the server thread.
    ~TLoopbackServer();

    TLoopbackServer(const TLoopbackServer &) = delete;
    TLoopbackServer &operator=(const TLoopbackServer &) = delete;

    std::uint16_t GetPort() const { return FPort; }
    // "127.0.0.1:port", for URLs.
    std::string GetAuthority() const;
    // Every request received so far, in order.
    std::vector<std::string> GetRequests() const;
    // Forgets the requests received so far.
    void ClearRequests();

    // A port on 127.0.0.1 where nothing listens: bound once, then released.
    static std::uint16_t UnusedPort();

    // A complete answer: status line, the given header lines, an empty line, the body.
    static std::string Response(int status, const std::string &reason, const std::string &headers,
                                const std::string &body);

private:
    friend class TLoopbackConnection;

    void Serve();
    bool Stopping() const { return FStop; }
    bool WaitStop(int milliseconds);

    TResponder FResponder;
    TTestSocketHandle FListener;
    std::uint16_t FPort = 0;
    std::atomic<bool> FStop = false;
    mutable std::mutex FLock;
    std::condition_variable FStopSignal;
    std::vector<std::string> FRequests;
    std::thread FThread;
};

} // namespace Halcyra::Testing
