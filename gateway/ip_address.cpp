// inet_pton and inet_ntop work on text alone; on Windows they need no Winsock start.
#include VR620_SOCKET_HEADERS

#include "ip_address.h"

namespace gateway {

std::optional<IpAddress> ParseIpAddress(std::string_view text) {
    const std::string copy(text);
    in_addr v4{};
    if (inet_pton(AF_INET, copy.c_str(), &v4) == 1) return IpAddress::FromIpv4(ntohl(v4.s_addr));
    IpAddress address;
    if (inet_pton(AF_INET6, copy.c_str(), address.bytes.data()) == 1) return address;
    return std::nullopt;
}

std::string FormatIpAddress(const IpAddress& address) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address.IsIpv4()) {
        inet_ntop(AF_INET, address.bytes.data() + 12, text, sizeof text);
    } else {
        inet_ntop(AF_INET6, address.bytes.data(), text, sizeof text);
    }
    return text;
}

}  // namespace gateway
