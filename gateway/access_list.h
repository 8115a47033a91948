// Who may use the gateway: the networks whose clients it serves, as the user writes them
// ("192.168.1.0/24", "10.1.2.3", "fd00::/8", "::1"). Pure, without I/O.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "ip_address.h"

namespace gateway {

// An IPv4 network is held in its IPv4-mapped form, its prefix n as 96 + n bits, so that one
// comparison serves both families and a client that comes over IPv4 to the dual-stack socket
// matches its IPv4 entry.
struct IpNetwork {
    IpAddress address;
    int prefixBits = 128;
    bool Contains(const IpAddress& host) const;
};

// "NET[/BITS]": an IPv4 NET with BITS from 0 to 32, an IPv6 NET with BITS from 0 to 128 (the
// whole address without BITS); host bits in NET are ignored.
std::optional<IpNetwork> ParseIpNetwork(std::string_view text);

// Everybody when `allowed` is empty.
bool Allowed(const std::vector<IpNetwork>& allowed, const IpAddress& host);

}  // namespace gateway
