// A connection whose bytes pass through a secure session: what the client sends is encrypted on its way
// out, what arrives is decrypted before the client reads it. It is a stream socket itself, so the
// client's reading, sending and waiting loops run over it unchanged.
#pragma once

#include "platform/SecureTransport.h"
#include "platform/Socket.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace Halcyra::Net {

class TSecureStream final : public Platform::IStreamSocket {
public:
    // Takes a connected socket and a session whose handshake over it is complete.
    TSecureStream(std::unique_ptr<Platform::IStreamSocket> socket, std::unique_ptr<Platform::ISecureSession> session);
    ~TSecureStream() override;

    // The connection is made before the stream exists.
    int Connect(Platform::TIPv4Address address, std::uint16_t port) override;
    int ConnectResult() override;
    // Ready at once while decrypted bytes or the end are waiting; otherwise the socket's own wait.
    int Wait(Platform::TSocketWait what, int timeoutMs, bool &ready) override;
    // Encrypts the bytes once and reports them sent only when all their records have gone: after
    // WouldBlock the caller offers the same bytes again, as it does for a plain socket.
    int Send(const char *data, std::size_t size, std::size_t &sent) override;
    // Decrypted bytes; 0 bytes with 0 once the peer has closed (by notification or by closing the
    // connection). A record that cannot be read raises ESockError "Secure connection failed: handshake".
    int Receive(char *buffer, std::size_t size, std::size_t &received) override;
    int Peek(char *buffer, std::size_t size, std::size_t &received) override;
    // A graceful close sends the close notification first, if the socket takes it at once.
    void Close(Platform::TSocketClose how) override;

private:
    // Decrypts what the socket has, when no decrypted bytes are waiting: 0, WouldBlock, or the socket's
    // error.
    int Fill();
    // Sends what the session produced, as far as the socket takes it now.
    int Flush();
    int Read(char *buffer, std::size_t size, std::size_t &received, bool take);

    std::unique_ptr<Platform::IStreamSocket> FSocket;
    std::unique_ptr<Platform::ISecureSession> FSession;
    // Decrypted bytes from FPlainTaken on are waiting to be read.
    std::string FPlain;
    std::size_t FPlainTaken = 0;
    bool FEnded = false;
    // A record could not be read: the next read after the bytes before it raises.
    bool FFailed = false;
    // Records still to be sent, and the size of the plain piece they carry (0: none in flight).
    std::string FOutgoing;
    std::size_t FPiece = 0;
    std::vector<char> FRaw;
    bool FClosed = false;
};

} // namespace Halcyra::Net
