// Winsock 2 before the headers that build on it.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "deadline.h"
#include "socket_address.h"
#include "socket_system.h"
#include "system_error.h"

namespace gateway::net {
namespace {

// Only the low 32 bits of a SOCKET are significant: the int is sign-extended back, so that
// kInvalidSocket (-1) is INVALID_SOCKET again.
SOCKET ToSocket(int socket) {
    return static_cast<SOCKET>(static_cast<std::intptr_t>(socket));
}

int FromSocket(SOCKET socket) {
    return socket == INVALID_SOCKET ? kInvalidSocket : static_cast<int>(socket);
}

bool SetOption(int socket, int level, int name, int value) {
    return setsockopt(ToSocket(socket), level, name, reinterpret_cast<const char*>(&value),
                      sizeof value) == 0;
}

}  // namespace

bool StartPlatform() {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    if (LOBYTE(data.wVersion) == 2 && HIBYTE(data.wVersion) == 2) return true;
    WSACleanup();
    WSASetLastError(WSAVERNOTSUPPORTED);
    return false;
}

void CleanupPlatform() {
    WSACleanup();
}

Error LastError() {
    const int code = WSAGetLastError();
    switch (code) {
        case WSAEWOULDBLOCK:
            return {ErrorKind::kWouldBlock, code};
        case WSAEINTR:
            return {ErrorKind::kInterrupted, code};
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAENETRESET:
        case WSAESHUTDOWN:
            return {ErrorKind::kPeerGone, code};
        case WSAEADDRINUSE:
        // A listener holds its port with SO_EXCLUSIVEADDRUSE: a bind to it is refused as an
        // access, which on Windows (no privileged ports) is what "in use" looks like.
        case WSAEACCES:
            return {ErrorKind::kAddressInUse, code};
        case WSAEADDRNOTAVAIL:
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
        return common::Failure{common::FailureKind::kOther, common::SystemErrorText(result)};
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
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    std::vector<std::uint8_t> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // The list may grow between the calls: a few tries.
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        result =
            GetAdaptersAddresses(AF_UNSPEC, flags, nullptr,
                                 reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR) return addresses;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
         adapter != nullptr; adapter = adapter->Next) {
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
             unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address != nullptr &&
                (address->sa_family == AF_INET || address->sa_family == AF_INET6))
                addresses.push_back(FromSockaddr(address));
        }
    }
    return addresses;
}

int OpenStreamSocket(bool ipv6) {
    return FromSocket(WSASocketW(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                 WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT));
}

void CloseSocket(int socket) {
    if (socket != kInvalidSocket) closesocket(ToSocket(socket));
}

bool SetNonBlocking(int socket) {
    u_long on = 1;
    return ioctlsocket(ToSocket(socket), FIONBIO, &on) == 0;
}

bool SetNoDelay(int socket) {
    return SetOption(socket, IPPROTO_TCP, TCP_NODELAY, 1);
}

bool ShutdownSending(int socket) {
    return shutdown(ToSocket(socket), SD_SEND) == 0;
}

bool PrepareListener(int socket, bool dualStack) {
    // Windows lets SO_REUSEADDR take a port from a live listener; this forbids it instead.
    if (!SetOption(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, 1)) return false;
    return !dualStack || SetOption(socket, IPPROTO_IPV6, IPV6_V6ONLY, 0);
}

bool BindSocket(int socket, const IpAddress& address, int port) {
    sockaddr_storage storage;
    const int size = ToSockaddr(address, port, storage);
    return bind(ToSocket(socket), reinterpret_cast<const sockaddr*>(&storage), size) == 0;
}

bool ListenSocket(int socket) {
    return listen(ToSocket(socket), SOMAXCONN) == 0;
}

int BoundPort(int socket) {
    sockaddr_storage storage{};
    int size = sizeof storage;
    if (getsockname(ToSocket(socket), reinterpret_cast<sockaddr*>(&storage), &size) != 0) return 0;
    return PortOf(storage);
}

int AcceptConnection(int listener, IpAddress& peer) {
    for (;;) {
        sockaddr_storage storage{};
        int size = sizeof storage;
        const SOCKET s = accept(ToSocket(listener), reinterpret_cast<sockaddr*>(&storage), &size);
        if (s == INVALID_SOCKET) {
            // Reset by its client while it waited: only that connection is lost.
            if (WSAGetLastError() == WSAECONNRESET) continue;
            return kInvalidSocket;
        }
        // An accepted socket has the listener's properties; non-blocking is made sure of.
        if (!SetNonBlocking(FromSocket(s))) {
            closesocket(s);
            continue;
        }
        peer = FromSockaddr(reinterpret_cast<const sockaddr*>(&storage));
        return FromSocket(s);
    }
}

bool ConnectSocket(int socket, const IpAddress& address, int port,
                   std::chrono::steady_clock::time_point deadline) {
    if (!SetNonBlocking(socket)) return false;
    sockaddr_storage storage;
    const int size = ToSockaddr(address, port, storage);
    const SOCKET s = ToSocket(socket);
    if (connect(s, reinterpret_cast<const sockaddr*>(&storage), size) == 0) return true;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
    // select, not WSAPoll: older WSAPoll does not report a connection that fails.
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    const int ms = common::MillisecondsUntil(deadline);
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    const int ready = select(0, nullptr, &writable, &failed, &limit);
    if (ready == SOCKET_ERROR) return false;
    if (ready == 0) {
        WSASetLastError(WSAETIMEDOUT);
        return false;
    }
    if (!FD_ISSET(s, &failed)) return true;
    int error = 0;
    int length = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        return false;
    WSASetLastError(error != 0 ? error : WSAECONNREFUSED);
    return false;
}

long SendBytes(int socket, const void* data, std::size_t size) {
    const int n = send(ToSocket(socket), static_cast<const char*>(data),
                       static_cast<int>(std::min<std::size_t>(size, INT_MAX)), 0);
    return n == SOCKET_ERROR ? -1 : n;
}

long ReceiveBytes(int socket, void* data, std::size_t size) {
    const int n = recv(ToSocket(socket), static_cast<char*>(data),
                       static_cast<int>(std::min<std::size_t>(size, INT_MAX)), 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int Poll(std::span<PollEntry> entries, int timeoutMs) {
    // Kept from call to call: the serving loop polls without allocating. WSAPoll is given only
    // the entries that hold a socket.
    thread_local std::vector<WSAPOLLFD> fds;
    thread_local std::vector<std::size_t> index;
    fds.clear();
    index.clear();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].found = 0;
        if (entries[i].socket == kInvalidSocket) continue;
        short events = 0;
        if ((entries[i].events & kPollReadable) != 0) events |= POLLRDNORM;
        if ((entries[i].events & kPollWritable) != 0) events |= POLLWRNORM;
        fds.push_back({ToSocket(entries[i].socket), events, 0});
        index.push_back(i);
    }
    const int ready = WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs);
    if (ready <= 0) return ready == SOCKET_ERROR ? -1 : 0;
    for (std::size_t k = 0; k < fds.size(); ++k) {
        const short r = fds[k].revents;
        short found = 0;
        if ((r & POLLRDNORM) != 0) found |= kPollReadable;
        if ((r & POLLWRNORM) != 0) found |= kPollWritable;
        if ((r & POLLHUP) != 0) found |= kPollHangUp;
        if ((r & (POLLERR | POLLNVAL)) != 0) found |= kPollFailed;
        entries[index[k]].found = found;
    }
    return ready;
}

}  // namespace gateway::net
