// Whether the host name that the manager hands to its clients names this machine: it decides
// between running the gateway (local mode) and only starting clients (remote mode).
#pragma once

namespace gateway {

// True when `host`'s first IPv4 address is this machine's first (by its own name) or
// 127.0.0.1, or its first IPv6 address is ::1 or one of this machine's interfaces. False, with
// a debugger line, when this machine's name or `host` does not resolve. It may wait for the
// resolver: call it off the user-interface thread.
bool IsLocalHost(const char* host);

}  // namespace gateway
