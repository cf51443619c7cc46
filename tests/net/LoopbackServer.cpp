// The test server's sockets: test-only code, so it uses the platform's socket calls directly.
#include "net/LoopbackServer.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

#include <chrono>
#include <stdexcept>

namespace Halcyra::Testing {
namespace {

#ifdef _WIN32
constexpr TTestSocketHandle NoSocket = INVALID_SOCKET;
void CloseHandle(TTestSocketHandle handle) { closesocket(handle); }
void ShutdownSend(TTestSocketHandle handle) { shutdown(handle, SD_SEND); }
#else
constexpr TTestSocketHandle NoSocket = -1;
void CloseHandle(TTestSocketHandle handle) { close(handle); }
void ShutdownSend(TTestSocketHandle handle) { shutdown(handle, SHUT_WR); }
#endif

// Waits up to milliseconds for handle to become readable.
bool Readable(TTestSocketHandle handle, int milliseconds)
{
#ifdef _WIN32
    fd_set set;
    FD_ZERO(&set);
    FD_SET(handle, &set);
    timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &limit) > 0;
#else
    pollfd entry{handle, POLLIN, 0};
    return poll(&entry, 1, milliseconds) > 0;
#endif
}

// Waits up to milliseconds for either socket to become readable: the one that is, or NoSocket.
TTestSocketHandle ReadableOf(TTestSocketHandle first, TTestSocketHandle second, int milliseconds)
{
#ifdef _WIN32
    fd_set set;
    FD_ZERO(&set);
    FD_SET(first, &set);
    FD_SET(second, &set);
    timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
    if (select(0, &set, nullptr, nullptr, &limit) <= 0)
        return NoSocket;
    return FD_ISSET(first, &set) ? first : second;
#else
    pollfd entries[2] = {{first, POLLIN, 0}, {second, POLLIN, 0}};
    if (poll(entries, 2, milliseconds) <= 0)
        return NoSocket;
    return entries[0].revents != 0 ? first : second;
#endif
}

void SetTimeouts(TTestSocketHandle handle)
{
#ifdef _WIN32
    DWORD limit = 10000;
    setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&limit), sizeof limit);
    setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&limit), sizeof limit);
#else
    timeval limit{10, 0};
    setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
#endif
}

TTestSocketHandle BoundSocket(std::uint16_t &port)
{
    TTestSocketHandle handle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (handle == NoSocket)
        throw std::runtime_error("test server: no socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(handle, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        getsockname(handle, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        CloseHandle(handle);
        throw std::runtime_error("test server: cannot bind 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return handle;
}

// Keeps Windows Sockets started for the test server's own calls.
class TSocketsStarted {
public:
    TSocketsStarted()
    {
#ifdef _WIN32
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#endif
    }
    ~TSocketsStarted()
    {
#ifdef _WIN32
        WSACleanup();
#endif
    }
};

} // namespace

bool RunningUnderWine()
{
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

bool TLoopbackConnection::Send(std::string_view bytes)
{
    while (!bytes.empty()) {
        int piece = static_cast<int>(bytes.size() > 65536 ? 65536 : bytes.size());
#ifdef _WIN32
        int sent = send(FHandle, bytes.data(), piece, 0);
#else
        int sent = static_cast<int>(send(FHandle, bytes.data(), static_cast<std::size_t>(piece), MSG_NOSIGNAL));
#endif
        if (sent <= 0 || FServer.Stopping())
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool TLoopbackConnection::Pause(int milliseconds)
{
    return FServer.WaitStop(milliseconds);
}

bool TLoopbackConnection::Relay(std::uint16_t port)
{
    TTestSocketHandle target = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (target == NoSocket)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(target, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        CloseHandle(target);
        return false;
    }
    SetTimeouts(target);
    char buffer[16384];
    while (!FServer.Stopping()) {
        const TTestSocketHandle from = ReadableOf(FHandle, target, 50);
        if (from == NoSocket)
            continue;
        const TTestSocketHandle to = from == FHandle ? target : FHandle;
        const int count = static_cast<int>(recv(from, buffer, sizeof buffer, 0));
        if (count <= 0)
            break;
        if (!TLoopbackConnection(FServer, to).Send(std::string_view(buffer, static_cast<std::size_t>(count))))
            break;
    }
    ShutdownSend(target);
    CloseHandle(target);
    return true;
}

bool TLoopbackConnection::Tunnel(std::uint16_t port)
{
    return Send("HTTP/1.0 200 Connection established\r\n\r\n") && Relay(port);
}

void TLoopbackConnection::Reset()
{
    linger option{1, 0};
    setsockopt(FHandle, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&option), sizeof option);
    CloseHandle(FHandle);
    FReset = true;
}

TLoopbackServer::TLoopbackServer(TResponder responder) : FResponder(std::move(responder))
{
    static TSocketsStarted started;
    FListener = BoundSocket(FPort);
    if (listen(FListener, 8) != 0) {
        CloseHandle(FListener);
        throw std::runtime_error("test server: cannot listen");
    }
    FThread = std::thread([this] { Serve(); });
}

TLoopbackServer::~TLoopbackServer()
{
    {
        std::lock_guard guard(FLock);
        FStop = true;
    }
    FStopSignal.notify_all();
    FThread.join();
    CloseHandle(FListener);
}

std::string TLoopbackServer::GetAuthority() const
{
    return "127.0.0.1:" + std::to_string(FPort);
}

std::vector<std::string> TLoopbackServer::GetRequests() const
{
    std::lock_guard guard(FLock);
    return FRequests;
}

void TLoopbackServer::ClearRequests()
{
    std::lock_guard guard(FLock);
    FRequests.clear();
}

std::uint16_t TLoopbackServer::UnusedPort()
{
    static TSocketsStarted started;
    std::uint16_t port = 0;
    CloseHandle(BoundSocket(port));
    return port;
}

std::string TLoopbackServer::Response(int status, const std::string &reason, const std::string &headers,
                                      const std::string &body)
{
    return "HTTP/1.0 " + std::to_string(status) + " " + reason + "\r\n" + headers + "\r\n" + body;
}

bool TLoopbackServer::WaitStop(int milliseconds)
{
    std::unique_lock guard(FLock);
    return !FStopSignal.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return FStop.load(); });
}

void TLoopbackServer::Serve()
{
    while (!FStop) {
        if (!Readable(FListener, 50))
            continue;
        TTestSocketHandle client = accept(FListener, nullptr, nullptr);
        if (client == NoSocket)
            continue;
        SetTimeouts(client);
        // The request ends with its empty line; the client sends no body.
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536 && !FStop) {
            if (!Readable(client, 5000))
                break;
            int count = static_cast<int>(recv(client, buffer, sizeof buffer, 0));
            if (count <= 0)
                break;
            request.append(buffer, static_cast<std::size_t>(count));
        }
        {
            std::lock_guard guard(FLock);
            FRequests.push_back(request);
        }
        TLoopbackConnection connection(*this, client);
        try {
            FResponder(connection, request);
        } catch (...) {
            // A responder that fails just closes the connection.
        }
        if (!connection.GetReset()) {
            ShutdownSend(client);
            CloseHandle(client);
        }
    }
}

} // namespace Halcyra::Testing
