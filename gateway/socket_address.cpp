#include VR620_SOCKET_HEADERS

#include <cstdint>
#include <cstring>

#include "socket_address.h"

namespace gateway::net {

IpAddress FromSockaddr(const sockaddr* address) {
    if (address != nullptr && address->sa_family == AF_INET6) {
        IpAddress ip;
        std::memcpy(ip.bytes.data(), &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr,
                    16);
        return ip;
    }
    if (address != nullptr && address->sa_family == AF_INET)
        return IpAddress::FromIpv4(
            ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr));
    return {};
}

int ToSockaddr(const IpAddress& address, int port, sockaddr_storage& out) {
    out = {};
    const auto networkPort = htons(static_cast<std::uint16_t>(port));
    if (address.IsIpv4()) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
        v4->sin_family = AF_INET;
        v4->sin_port = networkPort;
        std::memcpy(&v4->sin_addr, address.bytes.data() + 12, 4);
        return static_cast<int>(sizeof(sockaddr_in));
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
    v6->sin6_family = AF_INET6;
    v6->sin6_port = networkPort;
    std::memcpy(&v6->sin6_addr, address.bytes.data(), 16);
    return static_cast<int>(sizeof(sockaddr_in6));
}

int PortOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    return 0;
}

}  // namespace gateway::net
