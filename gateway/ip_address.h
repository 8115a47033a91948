// An IP address of either family, as the gateway compares, stores and prints it: always 16
// bytes, an IPv4 address in its IPv4-mapped IPv6 form (::ffff:a.b.c.d), so that a client that
// reaches the dual-stack listening socket over IPv4 is the same address as its IPv4 text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gateway {

struct IpAddress {
    // Network byte order. All zero is "::", the unspecified address: every interface.
    std::array<std::uint8_t, 16> bytes{};

    // `address` in host byte order.
    static IpAddress FromIpv4(std::uint32_t address) {
        IpAddress ip;
        ip.bytes[10] = ip.bytes[11] = 0xFF;
        for (int i = 0; i < 4; ++i)
            ip.bytes[12 + i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
        return ip;
    }
    static IpAddress Ipv6Loopback() {
        IpAddress ip;
        ip.bytes[15] = 1;
        return ip;
    }
    bool IsIpv4() const {
        for (int i = 0; i < 10; ++i)
            if (bytes[i] != 0) return false;
        return bytes[10] == 0xFF && bytes[11] == 0xFF;
    }
    bool IsUnspecified() const { return *this == IpAddress{}; }
    bool operator==(const IpAddress&) const = default;
};

// The address in the forms the system takes: four dotted decimal parts, or IPv6 text ("::1",
// "fd00::2", "::ffff:10.1.2.3"); nothing else (no names, no zone, no blanks).
std::optional<IpAddress> ParseIpAddress(std::string_view text);
// An IPv4 (or IPv4-mapped) address as "a.b.c.d", any other in the shortest IPv6 text.
std::string FormatIpAddress(const IpAddress& address);

}  // namespace gateway
