#include "access_list.h"

#include <algorithm>

#include "whole_number.h"

namespace gateway {
namespace {

// The first `bits` bits of `address`, the rest zero.
IpAddress Masked(const IpAddress& address, int bits) {
    IpAddress masked = address;
    for (int i = 0; i < 16; ++i) {
        const int keep = std::clamp(bits - 8 * i, 0, 8);
        masked.bytes[i] &= static_cast<std::uint8_t>(0xFF00 >> keep);
    }
    return masked;
}

}  // namespace

bool IpNetwork::Contains(const IpAddress& host) const {
    return Masked(host, prefixBits) == Masked(address, prefixBits);
}

std::optional<IpNetwork> ParseIpNetwork(std::string_view text) {
    const std::size_t slash = text.find('/');
    const auto address = ParseIpAddress(text.substr(0, slash));
    if (!address) return std::nullopt;
    // An IPv4 prefix counts the bits of the IPv4 text; in the mapped form 96 bits come first.
    const bool ipv4Text = text.substr(0, slash).find(':') == std::string_view::npos;
    const int offset = ipv4Text ? 96 : 0;
    IpNetwork network{*address, 128};
    if (slash != std::string_view::npos) {
        const auto bits = common::ParseWholeNumber(text.substr(slash + 1), 0, 128 - offset);
        if (!bits) return std::nullopt;
        network.prefixBits = offset + *bits;
    }
    network.address = Masked(network.address, network.prefixBits);
    return network;
}

bool Allowed(const std::vector<IpNetwork>& allowed, const IpAddress& host) {
    return allowed.empty() || std::any_of(allowed.begin(), allowed.end(),
                                          [&](const IpNetwork& n) { return n.Contains(host); });
}

}  // namespace gateway
