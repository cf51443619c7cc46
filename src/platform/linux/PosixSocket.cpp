// The socket layer on POSIX: non-blocking TCP sockets waited on with poll, host lookups with
// getaddrinfo on a background thread, and errno translated to the Windows Sockets codes.
#include "platform/HostLookupThread.h"
#include "platform/SecureTransport.h"
#include "platform/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Halcyra::Platform {
namespace {

int PosixWSAError(int error)
{
    switch (error) {
    case 0: return 0;
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    // A send on a connection the peer has reset: Windows Sockets reports the reset itself.
    case EPIPE:
    case ECONNRESET: return 10054;
    case ENOBUFS: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    case EUSERS: return 10068;
    case EDQUOT: return 10069;
    case ESTALE: return 10070;
    case EREMOTE: return 10071;
    default: return error;
    }
}

int LastError() { return PosixWSAError(errno); }

class TPosixStreamSocket final : public IStreamSocket {
public:
    explicit TPosixStreamSocket(int fd) : FFd(fd) {}
    ~TPosixStreamSocket() override { Close(TSocketClose::Graceful); }

    int Connect(TIPv4Address address, std::uint16_t port) override
    {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(port);
        target.sin_addr.s_addr = htonl(address);
        if (connect(FFd, reinterpret_cast<const sockaddr *>(&target), sizeof target) == 0)
            return 0;
        // A connect under way is WSAEWOULDBLOCK on Windows Sockets.
        if (errno == EINPROGRESS || errno == EINTR)
            return SocketError::WouldBlock;
        return LastError();
    }

    int ConnectResult() override
    {
        pollfd entry{FFd, POLLOUT, 0};
        int ready = poll(&entry, 1, 0);
        if (ready < 0)
            return LastError();
        if (ready == 0)
            return SocketError::WouldBlock;
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(FFd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            return LastError();
        return PosixWSAError(error);
    }

    int Wait(TSocketWait what, int timeoutMs, bool &ready) override
    {
        pollfd entry{FFd, static_cast<short>(what == TSocketWait::Readable ? POLLIN : POLLOUT), 0};
        int result = poll(&entry, 1, timeoutMs);
        if (result < 0) {
            ready = false;
            return errno == EINTR ? 0 : LastError();
        }
        // An error or hang-up also ends the wait: the next call reports it.
        ready = result > 0;
        return 0;
    }

    int Send(const char *data, std::size_t size, std::size_t &sent) override
    {
        sent = 0;
        ssize_t count = send(FFd, data, size, MSG_NOSIGNAL);
        if (count < 0)
            return errno == EAGAIN ? SocketError::WouldBlock : LastError();
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
        if (FFd < 0)
            return;
        if (how == TSocketClose::Abortive) {
            linger option{1, 0};
            setsockopt(FFd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
        }
        close(FFd);
        FFd = -1;
    }

private:
    int Read(char *buffer, std::size_t size, std::size_t &received, int flags)
    {
        received = 0;
        ssize_t count = recv(FFd, buffer, size, flags);
        if (count < 0)
            return errno == EAGAIN ? SocketError::WouldBlock : LastError();
        received = static_cast<std::size_t>(count);
        return 0;
    }

    int FFd;
};

int LookupWSAError(int error)
{
    switch (error) {
    case EAI_NONAME: return SocketError::HostNotFound;
    case EAI_AGAIN: return 11002;
    case EAI_FAIL: return 11003;
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
    case EAI_ADDRFAMILY: return SocketError::NoData;
    case EAI_MEMORY: return 10055;
    case EAI_SYSTEM: return LastError();
    default: return SocketError::HostNotFound;
    }
}

// getaddrinfo for the first IPv4 address of a name, run on the lookup's own thread.
THostLookupAnswer ResolveFirstIPv4(const std::string &host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int result = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    THostLookupAnswer answer;
    if (result == 0 && found != nullptr) {
        answer.State = IHostLookup::TState::Found;
        answer.Address = ntohl(reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr.s_addr);
    } else {
        answer.Error = result == 0 ? SocketError::NoData : LookupWSAError(result);
    }
    if (found != nullptr)
        freeaddrinfo(found);
    return answer;
}

class TPosixSocketLayer final : public ISocketLayer {
public:
    // POSIX sockets need no start-up; sends use MSG_NOSIGNAL so a closed peer never raises SIGPIPE.
    int Startup() override { return 0; }
    void Cleanup() override {}

    int CreateStream(std::unique_ptr<IStreamSocket> &socket) override
    {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
        if (fd < 0)
            return LastError();
        socket = std::make_unique<TPosixStreamSocket>(fd);
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
    static TPosixSocketLayer layer;
    return layer;
}

} // namespace Halcyra::Platform
