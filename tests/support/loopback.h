// TCP on the loopback interface for the tests, on the gateway's socket seam so that it serves
// on Windows too: a free port, and a connection to a server of ours.
#pragma once

#include <chrono>

#include "socket_layer.h"
#include "socket_system.h"

namespace vr620_test {

inline const gateway::IpAddress kLoopback4 = gateway::IpAddress::FromIpv4(0x7F000001);

// A port that nobody listened on a moment ago (the system's choice), so that tests running at
// the same time do not collide.
inline int FreePort() {
    gateway::StartSockets();
    const int s = gateway::net::OpenStreamSocket(false);
    int port = 0;
    if (s != gateway::net::kInvalidSocket && gateway::net::BindSocket(s, kLoopback4, 0))
        port = gateway::net::BoundPort(s);
    gateway::net::CloseSocket(s);
    gateway::CleanupSockets();
    return port;
}

// A non-blocking socket connected to `port` at `to`, from `from` when it is given (not "::"),
// or kInvalidSocket when nothing listens there.
inline int ConnectLoopback(int port, const gateway::IpAddress& to = kLoopback4,
                           const gateway::IpAddress& from = {}) {
    const int s = gateway::net::OpenStreamSocket(!to.IsIpv4());
    if (s == gateway::net::kInvalidSocket) return s;
    const bool bound = from.IsUnspecified() || gateway::net::BindSocket(s, from, 0);
    if (bound && gateway::net::ConnectSocket(
                     s, to, port, std::chrono::steady_clock::now() + std::chrono::seconds(10)))
        return s;
    gateway::net::CloseSocket(s);
    return gateway::net::kInvalidSocket;
}

// Whether anything accepts connections on `port` of 127.0.0.1.
inline bool Accepts(int port) {
    gateway::StartSockets();
    const int s = ConnectLoopback(port);
    gateway::net::CloseSocket(s);
    gateway::CleanupSockets();
    return s != gateway::net::kInvalidSocket;
}

}  // namespace vr620_test
