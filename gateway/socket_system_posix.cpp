#include <fcntl.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "deadline.h"
#include "socket_address.h"
#include "socket_system.h"

namespace gateway::net {
namespace {

// Failures of accept that concern only the connection being accepted (see accept(2)).
bool ConcernsOnlyThatConnection(int error) {
    switch (error) {
        case ECONNABORTED:
        case EPROTO:
        case ENETDOWN:
        case ENOPROTOOPT:
        case EHOSTDOWN:
        case ENONET:
        case EHOSTUNREACH:
        case EOPNOTSUPP:
        case ENETUNREACH:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool StartPlatform() {
    return true;
}

void CleanupPlatform() {}

Error LastError() {
    const int code = errno;
    switch (code) {
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return {ErrorKind::kWouldBlock, code};
        case EINTR:
            return {ErrorKind::kInterrupted, code};
        case ECONNRESET:
        case EPIPE:
        case ECONNABORTED:
            return {ErrorKind::kPeerGone, code};
        case EADDRINUSE:
            return {ErrorKind::kAddressInUse, code};
        case EACCES:
        case EPERM:
            return {ErrorKind::kNotPermitted, code};
        case EADDRNOTAVAIL:
            return {ErrorKind::kAddressNotHere, code};
        default:
            return {ErrorKind::kOther, code};
    }
}

std::string OwnHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

common::Outcome<std::vector<IpAddress>> ResolveHost(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int result = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0)
        return common::Failure{common::FailureKind::kOther,
                               result == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(result)};
    std::vector<IpAddress> addresses;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (a->ai_family == AF_INET || a->ai_family == AF_INET6)
            addresses.push_back(FromSockaddr(a->ai_addr));
    }
    freeaddrinfo(found);
    if (addresses.empty())
        return common::Failure{common::FailureKind::kOther, "no IPv4 or IPv6 address"};
    return addresses;
}

std::vector<IpAddress> InterfaceAddresses() {
    std::vector<IpAddress> addresses;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return addresses;
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr != nullptr &&
            (i->ifa_addr->sa_family == AF_INET || i->ifa_addr->sa_family == AF_INET6))
            addresses.push_back(FromSockaddr(i->ifa_addr));
    }
    freeifaddrs(list);
    return addresses;
}

int OpenStreamSocket(bool ipv6) {
    const int s = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return s >= 0 ? s : kInvalidSocket;
}

void CloseSocket(int socket) {
    if (socket != kInvalidSocket) close(socket);
}

bool SetNonBlocking(int socket) {
    const int flags = fcntl(socket, F_GETFL);
    return flags >= 0 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool SetNoDelay(int socket) {
    const int on = 1;
    return setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

bool ShutdownSending(int socket) {
    return shutdown(socket, SHUT_WR) == 0;
}

bool PrepareListener(int socket, bool dualStack) {
    // Only binding over connections of an earlier run in TIME_WAIT; a live listener still wins.
    const int on = 1;
    if (setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return false;
    const int off = 0;
    return !dualStack || setsockopt(socket, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) == 0;
}

bool BindSocket(int socket, const IpAddress& address, int port) {
    sockaddr_storage storage;
    const auto size = static_cast<socklen_t>(ToSockaddr(address, port, storage));
    return bind(socket, reinterpret_cast<const sockaddr*>(&storage), size) == 0;
}

bool ListenSocket(int socket) {
    return listen(socket, SOMAXCONN) == 0;
}

int BoundPort(int socket) {
    sockaddr_storage storage{};
    socklen_t size = sizeof storage;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&storage), &size) != 0) return 0;
    return PortOf(storage);
}

int AcceptConnection(int listener, IpAddress& peer) {
    for (;;) {
        sockaddr_storage storage{};
        socklen_t size = sizeof storage;
        const int s = accept4(listener, reinterpret_cast<sockaddr*>(&storage), &size,
                              SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (s >= 0) {
            peer = FromSockaddr(reinterpret_cast<const sockaddr*>(&storage));
            return s;
        }
        if (!ConcernsOnlyThatConnection(errno)) return kInvalidSocket;
    }
}

bool ConnectSocket(int socket, const IpAddress& address, int port,
                   std::chrono::steady_clock::time_point deadline) {
    if (!SetNonBlocking(socket)) return false;
    sockaddr_storage storage;
    const auto size = static_cast<socklen_t>(ToSockaddr(address, port, storage));
    if (connect(socket, reinterpret_cast<const sockaddr*>(&storage), size) == 0) return true;
    if (errno != EINPROGRESS && errno != EINTR) return false;
    pollfd pfd{socket, POLLOUT, 0};
    int ready;
    do {
        ready = poll(&pfd, 1, common::MillisecondsUntil(deadline));
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return false;
    if (ready == 0) {
        errno = ETIMEDOUT;
        return false;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
    errno = error;
    return error == 0;
}

long SendBytes(int socket, const void* data, std::size_t size) {
    return send(socket, data, size, MSG_NOSIGNAL);
}

long ReceiveBytes(int socket, void* data, std::size_t size) {
    return recv(socket, data, size, 0);
}

int Poll(std::span<PollEntry> entries, int timeoutMs) {
    // Kept from call to call: the serving loop polls without allocating.
    thread_local std::vector<pollfd> fds;
    fds.resize(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        short events = 0;
        if ((entries[i].events & kPollReadable) != 0) events |= POLLIN;
        if ((entries[i].events & kPollWritable) != 0) events |= POLLOUT;
        // A negative descriptor is passed over by poll itself.
        fds[i] = {entries[i].socket, events, 0};
    }
    const int ready = poll(fds.data(), fds.size(), timeoutMs);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const short r = ready > 0 ? fds[i].revents : 0;
        short found = 0;
        if ((r & POLLIN) != 0) found |= kPollReadable;
        if ((r & POLLOUT) != 0) found |= kPollWritable;
        if ((r & POLLHUP) != 0) found |= kPollHangUp;
        if ((r & (POLLERR | POLLNVAL)) != 0) found |= kPollFailed;
        entries[i].found = found;
    }
    return ready;
}

}  // namespace gateway::net
