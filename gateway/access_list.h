// Who may use the gateway: the address it listens on and the IPv4 networks whose clients it
// serves, as the user writes them ("192.168.1.0/24", "10.1.2.3").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gateway {

// Addresses in host byte order.
struct Ipv4Network {
    std::uint32_t address = 0;
    int prefixBits = 32;
    bool Contains(std::uint32_t host) const;
};

// A dotted IPv4 address (four decimal parts), or nothing.
std::optional<std::uint32_t> ParseIpv4Address(std::string_view text);
// "NET[/BITS]" with BITS from 0 to 32 (32 without it); host bits in NET are ignored.
std::optional<Ipv4Network> ParseIpv4Network(std::string_view text);

// Everybody when `allowed` is empty.
bool Allowed(const std::vector<Ipv4Network>& allowed, std::uint32_t host);

// "a.b.c.d"
std::string FormatIpv4Address(std::uint32_t address);

}  // namespace gateway
