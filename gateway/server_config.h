// What a gateway server is started with: where it listens, whom it serves, how long a silent
// client may stay, and the device session's channel and modem settings.
#pragma once

#include <cstddef>
#include <vector>

#include "access_list.h"
#include "ip_address.h"
#include "message_format.h"
#include "modem_settings.h"

namespace gateway {

struct ServerConfig {
    int port = kDefaultPort;  // 0: the system chooses
    // The unspecified address "::" is every local interface of both families.
    IpAddress bindAddress;
    // Empty: everybody.
    std::vector<IpNetwork> allowed;
    // A client that sends nothing for this long is closed; 0 is never.
    int idleTimeoutSeconds = 0;
    // The zero-based serial channel (0 is COM1) and the modem, in force from the first client.
    int channel = 0;
    ModemSettings modem;
};

// The most clients served at once; one more is closed at once.
inline constexpr std::size_t kMaxClients = 64;

// The largest idle limit taken, so that it can be counted in milliseconds.
inline constexpr int kMaxIdleTimeoutSeconds = 2'000'000;

}  // namespace gateway
