// The layer over the platform's sockets that the gateway is built on: a counted start and
// clean-up of the socket library and the listening socket. Its own diagnostics go to the
// debugger output only; callers turn its results into log lines.
#pragma once

#include "ip_address.h"
#include "outcome.h"
#include "socket_system.h"

namespace gateway {

using net::kInvalidSocket;

// Every successful start is paired with one clean-up; the platform's socket library is started
// at the first start and cleaned up at the last clean-up.
bool StartSockets();
bool CleanupSockets();

// A listening socket on `bindAddress` and `port` (0: the system chooses, see net::BoundPort)
// with the system's largest backlog, or why there is none ("TCP port 7105 is in use by another
// program", ...). The unspecified address "::", the default, is every interface of both
// families: an IPv6 socket that takes IPv4 clients too, or an IPv4 socket on 0.0.0.0 on a
// machine without IPv6. It keeps its start of the socket library until DestroyServerSocket.
common::Outcome<int> CreateServerSocket(int port, const IpAddress& bindAddress = {});
void DestroyServerSocket(int socket);

}  // namespace gateway
