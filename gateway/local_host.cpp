#include "local_host.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "debug_line.h"
#include "socket_layer.h"

namespace gateway {
namespace {

std::optional<IpAddress> First(const std::vector<IpAddress>& addresses, bool ipv4) {
    for (const IpAddress& a : addresses) {
        if (a.IsIpv4() == ipv4) return a;
    }
    return std::nullopt;
}

}  // namespace

bool IsLocalHost(const char* host) {
    StartSockets();
    const std::string ownName = net::OwnHostName();
    if (ownName.empty()) {
        CleanupSockets();
        common::WriteDebugLine("Error in gethostname!");
        return false;
    }
    using Addresses = common::Outcome<std::vector<IpAddress>>;
    const Addresses ownResolved = net::ResolveHost(ownName);
    const Addresses givenResolved =
        host != nullptr ? net::ResolveHost(host) : Addresses(common::Failure{});
    if (!ownResolved.Ok() || !givenResolved.Ok()) {
        CleanupSockets();
        common::WriteDebugLine("Error in gethostbyname!");
        return false;
    }
    const std::vector<IpAddress>& own = ownResolved.Value();
    const std::vector<IpAddress>& given = givenResolved.Value();
    const std::vector<IpAddress> interfaces = net::InterfaceAddresses();
    CleanupSockets();

    if (const auto v4 = First(given, true)) {
        if (*v4 == IpAddress::FromIpv4(0x7F000001) || v4 == First(own, true)) return true;
    }
    if (const auto v6 = First(given, false)) {
        if (*v6 == IpAddress::Ipv6Loopback()) return true;
        return std::find(interfaces.begin(), interfaces.end(), *v6) != interfaces.end();
    }
    return false;
}

}  // namespace gateway
