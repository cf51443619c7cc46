// The client's socket layer: lookups, connects, handshakes, sends and reads as loops that look at the
// socket, let the application handle its messages, and give up when the budget or the request's
// deadline is spent or the client aborted.
#include "net/SockCore.h"

#include "net/SecureStream.h"
#include "net/SockErrors.h"
#include "platform/SecureTransport.h"

#include <algorithm>
#include <thread>

namespace Halcyra::Net {
namespace {

using Platform::SocketError::NotConnected;
using Platform::SocketError::WouldBlock;

// How long one look at a socket may block before the application's messages are handled again.
constexpr int PollSliceMs = 10;
// The pause between two looks at a lookup that has not finished.
constexpr auto LookupPause = std::chrono::milliseconds(2);

// A dotted IPv4 address ("127.0.0.1"): four decimal parts of 0..255.
bool ParseDottedAddress(const std::string &host, Platform::TIPv4Address &address)
{
    Platform::TIPv4Address result = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= host.size() || host[at] != '.')
                return false;
            ++at;
        }
        std::size_t digits = 0;
        unsigned value = 0;
        while (at < host.size() && host[at] >= '0' && host[at] <= '9' && digits < 3) {
            value = value * 10 + static_cast<unsigned>(host[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || value > 255)
            return false;
        result = (result << 8) | value;
    }
    if (at != host.size())
        return false;
    address = result;
    return true;
}

// A name the resolver could be asked for: labels of letters, digits, '-' and '_', 1..63 bytes each,
// 253 bytes at most. Anything else cannot be a host, and is never handed to the name service.
bool IsHostName(const std::string &host)
{
    if (host.empty() || host.size() > 253)
        return false;
    std::size_t label = 0;
    for (char c : host) {
        if (c == '.') {
            if (label == 0)
                return false;
            label = 0;
            continue;
        }
        bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!allowed || ++label > 63)
            return false;
    }
    return true;
}

std::string_view SecureFailureText(Platform::TSecureFailure failure)
{
    switch (failure) {
    case Platform::TSecureFailure::Untrusted: return SockText::SecureUntrusted;
    case Platform::TSecureFailure::WrongHost: return SockText::SecureWrongHost;
    case Platform::TSecureFailure::Expired: return SockText::SecureExpired;
    default: return SockText::SecureHandshake;
    }
}

} // namespace

TSockCore::TSockCore(Platform::ISocketLayer &sockets, Platform::IApplication &application)
    : FSockets(sockets), FApplication(application), FBuffer(ReceiveBufferSize)
{
    if (FSockets.Startup() != 0)
        throw ESockError(std::string(SockText::StartupFailed));
    FStarted = true;
}

TSockCore::~TSockCore()
{
    Abort();
    Disconnect();
    if (FStarted)
        FSockets.Cleanup();
}

void TSockCore::Disconnect() noexcept
{
    if (FSocket) {
        FSocket->Close(FCloseKind);
        FSocket.reset();
    }
    FConnected = false;
}

void TSockCore::Abort() noexcept
{
    FAborted = true;
    FCancelled = true;
}

void TSockCore::BeginRequest(std::stop_token stop) noexcept
{
    FAborted = false;
    FCancelled = false;
    FTimedOut = false;
    FStop = std::move(stop);
    FRequestDeadline = TClock::now() + std::chrono::milliseconds(FOverallTimeOut);
}

void TSockCore::StartBudget()
{
    FTimedOut = false;
    FDeadline = TClock::now() + std::chrono::milliseconds(FTimeOut);
}

bool TSockCore::BudgetSpent()
{
    if (FTimedOut || (FTimeOut == 0 && FOverallTimeOut == 0))
        return FTimedOut;
    const TClock::time_point now = TClock::now();
    if ((FTimeOut > 0 && now >= FDeadline) || (FOverallTimeOut > 0 && now >= FRequestDeadline)) {
        // The budget or the deadline running out aborts the client, as a cancel would.
        FTimedOut = true;
        Abort();
    }
    return FTimedOut;
}

void TSockCore::ProcessMessages()
{
    FApplication.ProcessMessages();
}

void TSockCore::WaitOnSocket(Platform::TSocketWait what)
{
    bool ready = false;
    const int error = FSocket->Wait(what, PollSliceMs, ready);
    if (error != 0)
        RaiseSocketError(error);
    ProcessMessages();
}

void TSockCore::RaiseSocketError(int code)
{
    throw ESockError(SockErrorText(code));
}

void TSockCore::CreateSocket()
{
    if (FSocket)
        return;
    int error = FSockets.CreateStream(FSocket);
    if (error != 0 || !FSocket) {
        FSocket.reset();
        RaiseSocketError(error != 0 ? error : Platform::SocketError::InvalidArgument);
    }
    FCloseKind = FFirstSocket ? Platform::TSocketClose::Abortive : Platform::TSocketClose::Graceful;
    FFirstSocket = false;
}

Platform::TIPv4Address TSockCore::Resolve(const std::string &host)
{
    Platform::TIPv4Address address = 0;
    if (ParseDottedAddress(host, address))
        return address;
    if (!IsHostName(host))
        throw ESockError(std::string(SockText::NullRemoteAddress));

    using TState = Platform::IHostLookup::TState;
    // A lookup left by an earlier request that gave up on it is adopted while it runs for this name
    // and waited for while it runs for another; one that has ended meanwhile is old news.
    int error = 0;
    if (FLookup && FLookup->Poll(address, error) != TState::Pending)
        FLookup.reset();
    StartBudget();
    for (;;) {
        if (!FLookup) {
            FLookup = FSockets.BeginLookup(host);
            FLookupHost = host;
        }
        const TState state = FLookup->Poll(address, error);
        if (state != TState::Pending) {
            const bool forThisName = FLookupHost == host;
            FLookup.reset();
            // Another name's lookup has ended: this name's starts now.
            if (!forThisName)
                continue;
            if (state == TState::Found)
                return address;
            throw ESockError(std::string(SockText::NullRemoteAddress));
        }
        if (BudgetSpent())
            throw ESockError(std::string(SockText::HostLookupTimedOut));
        if (Cancelled())
            throw ESockError(std::string(SockText::HostLookupCanceled));
        std::this_thread::sleep_for(LookupPause);
        ProcessMessages();
    }
}

void TSockCore::Connect(const std::string &host, int port)
{
    if (FConnected)
        throw ESockError(std::string(SockText::AlreadyConnected));
    if (Cancelled())
        throw ESockError(std::string(SockText::HostLookupCanceled));
    Platform::TIPv4Address address = Resolve(host);
    // A port outside the 16-bit range names no service; Windows Sockets refuses port 0 the same way.
    if (port <= 0 || port > 65535)
        RaiseSocketError(Platform::SocketError::AddressNotAvailable);
    CreateSocket();

    int result = FSocket->Connect(address, static_cast<std::uint16_t>(port));
    if (result != 0 && result != WouldBlock)
        RaiseSocketError(result);
    StartBudget();
    while (result != 0) {
        if (BudgetSpent())
            throw ESockError(std::string(SockText::ConnectionTimedOut));
        if (Cancelled())
            throw ESockError(std::string(SockText::ConnectionCanceled));
        bool ready = false;
        int error = FSocket->Wait(Platform::TSocketWait::Writable, PollSliceMs, ready);
        if (error != 0)
            RaiseSocketError(error);
        result = FSocket->ConnectResult();
        if (result == NotConnected)
            throw ESockError(std::string(SockText::ConnectionFailed));
        if (result != 0 && result != WouldBlock)
            RaiseSocketError(result);
        if (result != 0)
            ProcessMessages();
    }
    FConnected = true;
}

void TSockCore::StartSecure(const std::string &host)
{
    if (!FSocket)
        RaiseSocketError(NotConnected);
    std::unique_ptr<Platform::ISecureSession> session = FSockets.Secure().BeginClient(host);
    if (!session)
        throw ESockError(std::string(SockText::SecureHandshake));
    std::string outgoing;
    Platform::TSecureFailure failure = Platform::TSecureFailure::None;
    Platform::TSecureStep step = session->Handshake({}, outgoing, failure);
    StartBudget();
    for (;;) {
        if (step == Platform::TSecureStep::Failed) {
            // The alert that tells the server why is sent if the socket takes it at once.
            std::size_t sent = 0;
            FSocket->Send(outgoing.data(), outgoing.size(), sent);
            throw ESockError(std::string(SecureFailureText(failure)));
        }
        if (BudgetSpent())
            throw ESockError(std::string(SockText::ConnectionTimedOut));
        if (Cancelled())
            throw ESockError(std::string(SockText::ConnectionCanceled));
        int error = 0;
        if (!outgoing.empty()) {
            std::size_t sent = 0;
            error = FSocket->Send(outgoing.data(), outgoing.size(), sent);
            if (error == 0) {
                outgoing.erase(0, sent);
                continue;
            }
        } else if (step == Platform::TSecureStep::Done) {
            break;
        } else {
            std::size_t received = 0;
            error = FSocket->Receive(FBuffer.data(), FBuffer.size(), received);
            if ((error == 0 && received == 0) || error == NotConnected)
                throw ESockError(std::string(SockText::SecureHandshake));
            if (error == 0) {
                step = session->Handshake(std::string_view(FBuffer.data(), received), outgoing, failure);
                continue;
            }
        }
        if (error != WouldBlock)
            RaiseSocketError(error);
        WaitOnSocket(outgoing.empty() ? Platform::TSocketWait::Readable : Platform::TSocketWait::Writable);
    }
    FSocket = std::make_unique<TSecureStream>(std::move(FSocket), std::move(session));
}

void TSockCore::SendText(std::string_view text)
{
    if (!FSocket)
        RaiseSocketError(NotConnected);
    StartBudget();
    while (!text.empty()) {
        if (Aborted() || BudgetSpent())
            throw EAbortError(std::string(SockText::SendAborted));
        // Outgoing text passes through the receive buffer's size, one piece per send call.
        std::size_t piece = std::min(text.size(), ReceiveBufferSize);
        std::size_t sent = 0;
        int error = FSocket->Send(text.data(), piece, sent);
        if (error == 0) {
            text.remove_prefix(sent);
            continue;
        }
        if (error != WouldBlock)
            RaiseSocketError(error);
        WaitOnSocket(Platform::TSocketWait::Writable);
    }
}

bool TSockCore::ReadLine(std::string &line)
{
    line.clear();
    if (!FSocket)
        RaiseSocketError(NotConnected);
    StartBudget();
    for (;;) {
        if (Aborted() || BudgetSpent())
            throw EAbortError(std::string(SockText::ReadlnAborted));
        std::size_t room = ReceiveBufferSize - line.size();
        if (room == 0)
            throw EAbortError(std::string(SockText::ReadlnAborted));
        std::size_t waiting = 0;
        int error = FSocket->Peek(FBuffer.data(), room, waiting);
        if (error == NotConnected)
            return false;
        if (error == 0 && waiting == 0)
            return false;
        if (error == 0) {
            // Take the bytes up to and including the first LF; without one, take what is there (it all
            // belongs to this line) and wait for the rest.
            const char *begin = FBuffer.data();
            const char *lineFeed = std::find(begin, begin + waiting, '\n');
            std::size_t take = lineFeed == begin + waiting ? waiting : static_cast<std::size_t>(lineFeed - begin) + 1;
            std::size_t received = 0;
            error = FSocket->Receive(FBuffer.data(), take, received);
            if (error != 0)
                RaiseSocketError(error);
            line.append(FBuffer.data(), received);
            if (received > 0 && line.back() == '\n')
                return true;
            continue;
        }
        if (error != WouldBlock)
            RaiseSocketError(error);
        WaitOnSocket(Platform::TSocketWait::Readable);
    }
}

void TSockCore::CaptureString(std::string &body, std::size_t limit, std::optional<std::uint64_t> length)
{
    body.clear();
    if (!FSocket)
        RaiseSocketError(NotConnected);
    StartBudget();
    for (;;) {
        if (length && body.size() >= *length)
            return;
        if (Aborted() || BudgetSpent())
            throw EAbortError(std::string(SockText::CaptureAborted));
        // Bytes after the given length are not this answer's: they are left unread.
        std::size_t room = FBuffer.size();
        if (length)
            room = static_cast<std::size_t>(std::min<std::uint64_t>(room, *length - body.size()));
        std::size_t received = 0;
        int error = FSocket->Receive(FBuffer.data(), room, received);
        if ((error == 0 && received == 0) || error == NotConnected) {
            // A body cut short of the length its answer gave is not the whole body.
            if (length && body.size() < *length)
                throw EAbortError(std::string(SockText::CaptureAborted));
            return;
        }
        if (error == 0) {
            if (received > limit - std::min(limit, body.size()))
                throw EAbortError(std::string(SockText::CaptureAborted));
            body.append(FBuffer.data(), received);
            // Every chunk restarts the budget: it limits the silence, not the whole transfer.
            StartBudget();
            ProcessMessages();
            continue;
        }
        if (error != WouldBlock)
            RaiseSocketError(error);
        WaitOnSocket(Platform::TSocketWait::Readable);
    }
}

} // namespace Halcyra::Net
