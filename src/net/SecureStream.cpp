// The secure stream: records in and out through the session, every wait left to the socket beneath.
#include "net/SecureStream.h"

#include "net/SockErrors.h"

#include <algorithm>
#include <cstring>

namespace Halcyra::Net {
namespace {

using Platform::SocketError::WouldBlock;

// Bytes taken from the socket per look: one TLS record and then some.
constexpr std::size_t RawChunkSize = 32768;

[[noreturn]] void RaiseRecordFailure()
{
    throw ESockError(std::string(SockText::SecureHandshake));
}

} // namespace

TSecureStream::TSecureStream(std::unique_ptr<Platform::IStreamSocket> socket, std::unique_ptr<Platform::ISecureSession> session)
    : FSocket(std::move(socket)), FSession(std::move(session)), FRaw(RawChunkSize)
{
}

TSecureStream::~TSecureStream()
{
    Close(Platform::TSocketClose::Graceful);
}

int TSecureStream::Connect(Platform::TIPv4Address, std::uint16_t)
{
    return Platform::SocketError::InvalidArgument;
}

int TSecureStream::ConnectResult()
{
    return 0;
}

int TSecureStream::Wait(Platform::TSocketWait what, int timeoutMs, bool &ready)
{
    if (what == Platform::TSocketWait::Readable && (FPlainTaken < FPlain.size() || FEnded)) {
        ready = true;
        return 0;
    }
    return FSocket->Wait(what, timeoutMs, ready);
}

int TSecureStream::Flush()
{
    while (!FOutgoing.empty()) {
        std::size_t sent = 0;
        const int error = FSocket->Send(FOutgoing.data(), FOutgoing.size(), sent);
        if (error != 0)
            return error;
        if (sent == 0)
            return WouldBlock;
        FOutgoing.erase(0, sent);
    }
    return 0;
}

int TSecureStream::Send(const char *data, std::size_t size, std::size_t &sent)
{
    sent = 0;
    if (size == 0)
        return 0;
    if (FPiece == 0) {
        if (!FSession->Encrypt(std::string_view(data, size), FOutgoing))
            RaiseRecordFailure();
        FPiece = size;
    }
    const int error = Flush();
    if (error != 0)
        return error;
    sent = FPiece;
    FPiece = 0;
    return 0;
}

int TSecureStream::Fill()
{
    if (FPlainTaken < FPlain.size() || FEnded)
        return 0;
    if (FFailed)
        RaiseRecordFailure();
    // Answers the session owes the peer go out before more is read.
    const int flushed = Flush();
    if (flushed != 0 && flushed != WouldBlock)
        return flushed;
    FPlain.clear();
    FPlainTaken = 0;
    // Records that came with earlier bytes (the end of the handshake, say) are read before the socket is
    // asked for more.
    Platform::TSecureStep step = FSession->Decrypt({}, FPlain, FOutgoing);
    if (FPlain.empty() && step == Platform::TSecureStep::WantInput) {
        std::size_t received = 0;
        const int error = FSocket->Receive(FRaw.data(), FRaw.size(), received);
        if (error == Platform::SocketError::NotConnected || (error == 0 && received == 0)) {
            // The connection ended without a close notification: what came stands, and a body that the
            // answer gave a length for is checked against it.
            FEnded = true;
            return 0;
        }
        if (error != 0)
            return error;
        step = FSession->Decrypt(std::string_view(FRaw.data(), received), FPlain, FOutgoing);
    }
    // What came before a record that cannot be read is read first; the failure follows.
    if (step == Platform::TSecureStep::Failed) {
        FFailed = true;
        if (FPlain.empty())
            RaiseRecordFailure();
    }
    if (step == Platform::TSecureStep::Closed)
        FEnded = true;
    if (!FOutgoing.empty()) {
        const int answered = Flush();
        if (answered != 0 && answered != WouldBlock)
            return answered;
    }
    return FPlain.empty() && !FEnded ? WouldBlock : 0;
}

int TSecureStream::Read(char *buffer, std::size_t size, std::size_t &received, bool take)
{
    received = 0;
    if (FClosed)
        return Platform::SocketError::NotConnected;
    const int error = Fill();
    if (error != 0)
        return error;
    received = std::min(size, FPlain.size() - FPlainTaken);
    std::memcpy(buffer, FPlain.data() + FPlainTaken, received);
    if (take)
        FPlainTaken += received;
    return 0;
}

int TSecureStream::Receive(char *buffer, std::size_t size, std::size_t &received)
{
    return Read(buffer, size, received, true);
}

int TSecureStream::Peek(char *buffer, std::size_t size, std::size_t &received)
{
    return Read(buffer, size, received, false);
}

void TSecureStream::Close(Platform::TSocketClose how)
{
    if (FClosed)
        return;
    FClosed = true;
    if (how == Platform::TSocketClose::Graceful && !FEnded) {
        FOutgoing.clear();
        FSession->Close(FOutgoing);
        Flush();
    }
    FSocket->Close(how);
}

} // namespace Halcyra::Net
