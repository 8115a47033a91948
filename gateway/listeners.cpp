#include "listeners.h"

#include <optional>

#include "debug_line.h"
#include "socket_layer.h"
#include "system_error.h"

namespace gateway {
namespace {

// One more listener; why not, when it cannot be opened.
std::optional<common::Failure> Add(std::vector<Listener>& listeners, int port,
                                   const IpAddress& address, bool tls) {
    auto socket = CreateServerSocket(port, address);
    if (!socket.Ok()) return socket.Why();
    listeners.push_back({socket.Value(), tls});
    if (net::SetNonBlocking(socket.Value())) return std::nullopt;
    return common::Failure{common::FailureKind::kOther,
                           "the server cannot wait for its clients: " +
                               common::SystemErrorText(common::LastSystemError())};
}

// The plain port on `address`; when it is taken and that is allowed, one the system chooses.
std::optional<common::Failure> AddPlain(std::vector<Listener>& listeners, const ServerConfig& config,
                                        const IpAddress& address) {
    auto why = Add(listeners, config.port, address, false);
    if (!why || why->kind != common::FailureKind::kPortInUse || !config.anyPortIfTaken)
        return why;
    return Add(listeners, 0, address, false);
}

std::optional<common::Failure> OpenAll(const ServerConfig& config,
                                       std::vector<Listener>& listeners) {
    const bool loopback = config.loopbackOnly || (config.tlsPort && config.tlsOnly);
    if (!loopback) {
        if (auto why = AddPlain(listeners, config, config.bindAddress)) return why;
        if (config.tlsPort) return Add(listeners, *config.tlsPort, config.bindAddress, true);
        return std::nullopt;
    }
    if (auto why = AddPlain(listeners, config, IpAddress::FromIpv4(0x7F000001))) return why;
    // The same port on ::1; a machine without IPv6 has none, but another program that holds it
    // there would take this computer's clients.
    const int port = net::BoundPort(listeners.back().socket);
    if (auto why = Add(listeners, port, IpAddress::Ipv6Loopback(), false)) {
        if (why->kind == common::FailureKind::kPortInUse) return why;
        common::WriteDebugLine("No IPv6 loopback: the plain port listens on 127.0.0.1 alone");
    }
    if (!config.tlsPort) return std::nullopt;
    return Add(listeners, *config.tlsPort, config.bindAddress, true);
}

}  // namespace

common::Outcome<std::vector<Listener>> OpenListeners(const ServerConfig& config) {
    std::vector<Listener> listeners;
    if (auto why = OpenAll(config, listeners)) {
        CloseListeners(listeners);
        return *why;
    }
    return listeners;
}

void CloseListeners(std::vector<Listener>& listeners) {
    for (const Listener& listener : listeners) DestroyServerSocket(listener.socket);
    listeners.clear();
}

int ListenerPort(const std::vector<Listener>& listeners, bool tls) {
    for (const Listener& listener : listeners) {
        if (listener.tls == tls) return net::BoundPort(listener.socket);
    }
    return 0;
}

}  // namespace gateway
