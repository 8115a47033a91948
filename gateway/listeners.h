// The server's listening sockets: its port, and a TLS port when one is asked for. When TLS is
// to be the only way in from elsewhere, or the server is for this computer alone (a relay), the
// plain port listens on this computer's loopback addresses alone: 127.0.0.1, and ::1 where the
// machine has IPv6.
#pragma once

#include <vector>

#include "outcome.h"
#include "server_config.h"
#include "socket_system.h"

namespace gateway {

struct Listener {
    int socket = net::kInvalidSocket;
    bool tls = false;
};

// Every listener, non-blocking, or why one cannot be opened (those opened are closed again).
common::Outcome<std::vector<Listener>> OpenListeners(const ServerConfig& config);
void CloseListeners(std::vector<Listener>& listeners);

// The port of the first plain or TLS listener, 0 when there is none.
int ListenerPort(const std::vector<Listener>& listeners, bool tls);

}  // namespace gateway
