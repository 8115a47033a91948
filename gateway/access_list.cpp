#include "access_list.h"

#include <arpa/inet.h>

#include <algorithm>

#include "whole_number.h"

namespace gateway {
namespace {

std::uint32_t Mask(int prefixBits) {
    return prefixBits == 0 ? 0 : ~std::uint32_t{0} << (32 - prefixBits);
}

}  // namespace

bool Ipv4Network::Contains(std::uint32_t host) const {
    return (host & Mask(prefixBits)) == (address & Mask(prefixBits));
}

std::optional<std::uint32_t> ParseIpv4Address(std::string_view text) {
    // inet_pton takes exactly the four-part dotted decimal form.
    std::string copy(text);
    in_addr address{};
    if (copy.empty() || inet_pton(AF_INET, copy.c_str(), &address) != 1) return std::nullopt;
    return ntohl(address.s_addr);
}

std::optional<Ipv4Network> ParseIpv4Network(std::string_view text) {
    std::size_t slash = text.find('/');
    auto address = ParseIpv4Address(text.substr(0, slash));
    if (!address) return std::nullopt;
    Ipv4Network network{*address, 32};
    if (slash != std::string_view::npos) {
        const auto bits = common::ParseWholeNumber(text.substr(slash + 1), 0, 32);
        if (!bits) return std::nullopt;
        network.prefixBits = *bits;
    }
    network.address &= Mask(network.prefixBits);
    return network;
}

bool Allowed(const std::vector<Ipv4Network>& allowed, std::uint32_t host) {
    return allowed.empty() || std::any_of(allowed.begin(), allowed.end(),
                                          [&](const Ipv4Network& n) { return n.Contains(host); });
}

std::string FormatIpv4Address(std::uint32_t address) {
    in_addr value{htonl(address)};
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &value, text, sizeof text);
    return text;
}

}  // namespace gateway
