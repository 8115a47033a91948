// Between our IP addresses and the system's socket addresses, for the two socket_system files:
// the structures are the same on both platforms, only their headers differ.
#pragma once

#include "ip_address.h"

struct sockaddr;
struct sockaddr_storage;

namespace gateway::net {

// The address of an IPv4 or IPv6 socket address; "::" for any other.
IpAddress FromSockaddr(const sockaddr* address);
// The socket address of `address` and `port` (IPv4 for an IPv4-mapped address), and its size.
int ToSockaddr(const IpAddress& address, int port, sockaddr_storage& out);
// The port of an IPv4 or IPv6 socket address; 0 for any other.
int PortOf(const sockaddr_storage& address);

}  // namespace gateway::net
