// The socket layer of the HTTP client: one TCP connection at a time, plain or secure, waits that keep
// the application's messages flowing, the time budget every wait runs under and the deadline of a
// whole request.
#pragma once

#include "platform/Application.h"
#include "platform/Socket.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace Halcyra::Net {

class TSockCore {
public:
    // Bytes taken from the socket per receive call, and the most one peek looks at.
    static constexpr std::size_t ReceiveBufferSize = 65536;
    // The longest one request may last in all, whatever its waits: 60 seconds.
    static constexpr int DefaultOverallTimeOut = 60000;

    // Starts the socket library for this client; raises ESockError "Initializaton of windows sockets
    // failed" when it cannot be started. Secure connections take their sessions from the layer's
    // secure transport.
    TSockCore(Platform::ISocketLayer &sockets, Platform::IApplication &application);
    // Aborts, closes the socket and ends this client's use of the socket library.
    virtual ~TSockCore();

    TSockCore(const TSockCore &) = delete;
    TSockCore &operator=(const TSockCore &) = delete;

    // Closes the connection, if any; the next request opens a fresh socket.
    void Disconnect() noexcept;
    // Makes any wait in progress end with its error; safe from any thread. The next request starts with
    // the marks cleared, so an Abort that comes just before a request is lost: a caller that must stop
    // for good hands its requests a stop token instead.
    void Abort() noexcept;

    // Milliseconds each wait may last: a lookup, a connect, one header line, one send, and the longest
    // silence while a body arrives. 0 means no limit.
    int GetTimeOut() const { return FTimeOut; }
    void SetTimeOut(int timeOut) { FTimeOut = timeOut < 0 ? 0 : timeOut; }
    // Milliseconds one request may last from its start, every wait of it counted (a server that sends
    // a byte just before each budget runs out is cut off here). 0 means no limit.
    int GetOverallTimeOut() const { return FOverallTimeOut; }
    void SetOverallTimeOut(int timeOut) { FOverallTimeOut = timeOut < 0 ? 0 : timeOut; }

    bool GetConnected() const { return FConnected; }

protected:
    // Called when a request starts: clears the aborted, cancelled and timed-out marks, takes the
    // request's stop token and starts its overall deadline. A stop requested on the token, before or
    // during the request, ends every wait as Abort does, and nothing clears it.
    void BeginRequest(std::stop_token stop) noexcept;
    // Called when a request ends: lets go of its stop token.
    void EndRequest() noexcept { FStop = {}; }
    // Resolves host (a dotted address is taken as it is) and connects to it. The client has at most
    // one lookup in flight: while one of an earlier request runs, a request for another name waits
    // for it within its own budget.
    void Connect(const std::string &host, int port);
    // Makes the connection secure for host: the handshake runs as one wait under the budget (raising
    // "Connection Timed out" or "Connection Canceled" as a connect does), and a certificate or handshake
    // that fails raises ESockError with the text of its cause.
    void StartSecure(const std::string &host);
    // Sends all of text.
    void SendText(std::string_view text);
    // Reads one line up to and including its LF into line. False when the connection ended first; line
    // then holds what came before the end. A line longer than the receive buffer aborts the wait.
    bool ReadLine(std::string &line);
    // Reads until the peer closes, or, when the answer gave its length, until that many bytes have come
    // (a proxy may keep the connection open after them): body gets the bytes. More than limit bytes,
    // or a close before the given length, abort the wait.
    void CaptureString(std::string &body, std::size_t limit, std::optional<std::uint64_t> length);

private:
    using TClock = std::chrono::steady_clock;

    // Starts a wait's time budget; each wait starts its own.
    void StartBudget();
    // True once the budget has run out; marks the client timed out and aborted then.
    bool BudgetSpent();
    // True once the client was aborted or its request's stop was requested; Cancelled likewise for the
    // cancelled mark that the lookup and the connect look at.
    bool Aborted() const noexcept { return FAborted || FStop.stop_requested(); }
    bool Cancelled() const noexcept { return FCancelled || FStop.stop_requested(); }
    // Lets the application handle its pending messages between two looks at the socket.
    void ProcessMessages();
    // Waits a moment for the condition on the raw socket, then lets the messages be handled.
    void WaitOnSocket(Platform::TSocketWait what);
    void CreateSocket();
    Platform::TIPv4Address Resolve(const std::string &host);
    [[noreturn]] void RaiseSocketError(int code);

    Platform::ISocketLayer &FSockets;
    Platform::IApplication &FApplication;
    bool FStarted = false;
    std::unique_ptr<Platform::IStreamSocket> FSocket;
    // The client's one lookup in flight, kept when a wait gives up on it: a name service that hangs
    // then holds one lookup of this client, not one more per request.
    std::unique_ptr<Platform::IHostLookup> FLookup;
    std::string FLookupHost;
    // The first socket of a client resets its connection when closed; later ones close gracefully.
    bool FFirstSocket = true;
    Platform::TSocketClose FCloseKind = Platform::TSocketClose::Abortive;
    bool FConnected = false;
    // Abort may come from another thread (a thread asked to end), so the marks are atomic.
    std::atomic<bool> FAborted = false;
    std::atomic<bool> FCancelled = false;
    std::atomic<bool> FTimedOut = false;
    // The running request's stop token; empty (never stopping) between requests.
    std::stop_token FStop;
    int FTimeOut = 0;
    int FOverallTimeOut = DefaultOverallTimeOut;
    TClock::time_point FDeadline;
    TClock::time_point FRequestDeadline;
    std::vector<char> FBuffer;
};

} // namespace Halcyra::Net
