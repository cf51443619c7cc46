// The socket layer on Windows: Windows Sockets 1.1 started per user, non-blocking TCP sockets waited on
// with select, and host lookups with getaddrinfo on a background thread.
#include "platform/HostLookupThread.h"
#include "platform/SecureTransport.h"
#include "platform/Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace Halcyra::Platform {
namespace {

class TWin32StreamSocket final : public IStreamSocket {
public:
    explicit TWin32StreamSocket(SOCKET handle) : FHandle(handle) {}
    ~TWin32StreamSocket() override { Close(TSocketClose::Graceful); }

    int Connect(TIPv4Address address, std::uint16_t port) override
    {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(port);
        target.sin_addr.s_addr = htonl(address);
        if (connect(FHandle, reinterpret_cast<const sockaddr *>(&target), sizeof target) == 0)
            return 0;
        return WSAGetLastError();
    }

    int ConnectResult() override
    {
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(FHandle, &writable);
        FD_SET(FHandle, &failed);
        timeval none{0, 0};
        int ready = select(0, nullptr, &writable, &failed, &none);
        if (ready == SOCKET_ERROR)
            return WSAGetLastError();
        if (FD_ISSET(FHandle, &failed)) {
            int error = 0;
            int length = sizeof error;
            if (getsockopt(FHandle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length) != 0)
                return WSAGetLastError();
            return error != 0 ? error : SocketError::NotConnected;
        }
        return FD_ISSET(FHandle, &writable) ? 0 : SocketError::WouldBlock;
    }

    int Wait(TSocketWait what, int timeoutMs, bool &ready) override
    {
        fd_set watched, failed;
        FD_ZERO(&watched);
        FD_ZERO(&failed);
        FD_SET(FHandle, &watched);
        FD_SET(FHandle, &failed);
        timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        int result = what == TSocketWait::Readable ? select(0, &watched, nullptr, &failed, &limit)
                                                    : select(0, nullptr, &watched, &failed, &limit);
        if (result == SOCKET_ERROR) {
            ready = false;
            return WSAGetLastError();
        }
        // A failed connect shows in the exception set: the caller's next call reports it.
        ready = result > 0;
        return 0;
    }

    int Send(const char *data, std::size_t size, std::size_t &sent) override
    {
        sent = 0;
        int count = send(FHandle, data, static_cast<int>(size > 0x7FFFFFFF ? 0x7FFFFFFF : size), 0);
        if (count == SOCKET_ERROR)
            return WSAGetLastError();
        sent = static_cast<std::size_t>(count);
        return 0;
    }

    int Receive(char *buffer, std::size_t size, std::size_t &received) override
    {
        return Read(buffer, size, received, 0);
    }

    int Peek(char *buffer, std::size_t size, std::size_t &received) override
    {
        return Read(buffer, size, received, MSG_PEEK);
    }

    void Close(TSocketClose how) override
    {
        if (FHandle == INVALID_SOCKET)
            return;
        if (how == TSocketClose::Abortive) {
            linger option{1, 0};
            setsockopt(FHandle, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&option), sizeof option);
        }
        closesocket(FHandle);
        FHandle = INVALID_SOCKET;
    }

private:
    int Read(char *buffer, std::size_t size, std::size_t &received, int flags)
    {
        received = 0;
        int count = recv(FHandle, buffer, static_cast<int>(size > 0x7FFFFFFF ? 0x7FFFFFFF : size), flags);
        if (count == SOCKET_ERROR)
            return WSAGetLastError();
        received = static_cast<std::size_t>(count);
        return 0;
    }

    SOCKET FHandle;
};

// getaddrinfo for the first IPv4 address of a name, run on the lookup's own thread. The thread holds
// its own start-up of Windows Sockets for as long as it resolves.
THostLookupAnswer ResolveFirstIPv4(const std::string &host)
{
    WSADATA data;
    const bool started = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int result = started ? getaddrinfo(host.c_str(), nullptr, &hints, &found) : WSASYSNOTREADY;
    THostLookupAnswer answer;
    if (result == 0 && found != nullptr) {
        answer.State = IHostLookup::TState::Found;
        answer.Address = ntohl(reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr.s_addr);
    } else {
        answer.Error = result == 0 ? SocketError::NoData : result;
    }
    if (found != nullptr)
        freeaddrinfo(found);
    if (started)
        WSACleanup();
    return answer;
}

class TWin32SocketLayer final : public ISocketLayer {
public:
    // Windows Sockets counts its start-ups itself: each WSAStartup is matched by one WSACleanup.
    int Startup() override
    {
        WSADATA data;
        return WSAStartup(MAKEWORD(1, 1), &data);
    }

    void Cleanup() override { WSACleanup(); }

    int CreateStream(std::unique_ptr<IStreamSocket> &socket) override
    {
        SOCKET handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (handle == INVALID_SOCKET)
            return WSAGetLastError();
        u_long nonBlocking = 1;
        if (ioctlsocket(handle, FIONBIO, &nonBlocking) != 0) {
            int error = WSAGetLastError();
            closesocket(handle);
            return error;
        }
        socket = std::make_unique<TWin32StreamSocket>(handle);
        return 0;
    }

    std::unique_ptr<IHostLookup> BeginLookup(const std::string &host) override
    {
        return BeginThreadedLookup(host, ResolveFirstIPv4);
    }

    ISecureTransport &Secure() override { return SecureTransport(); }
};

} // namespace

ISocketLayer &Sockets()
{
    static TWin32SocketLayer layer;
    return layer;
}

} // namespace Halcyra::Platform
