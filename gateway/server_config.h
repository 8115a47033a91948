// What a gateway server is started with: where it listens (with TLS too), whom it serves, how
// long a silent client may stay, the device session's channel and modem settings (or another
// runner of the requests: a relay), and a heartbeat for a watchdog.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "access_list.h"
#include "ip_address.h"
#include "message_format.h"
#include "modem_settings.h"
#include "request_runner.h"
#include "tls_context.h"

namespace gateway {

struct ServerConfig {
    int port = kDefaultPort;  // 0: the system chooses
    // When the port is taken by another program, one that the system chooses instead.
    bool anyPortIfTaken = false;
    // The unspecified address "::" is every local interface of both families.
    IpAddress bindAddress;
    // The plain port listens on loopback alone (127.0.0.1, and ::1 where the machine has IPv6),
    // whatever bindAddress says.
    bool loopbackOnly = false;
    // Empty: everybody (on either port).
    std::vector<IpNetwork> allowed;
    // A second port, on the same address, whose clients are served only after a TLS handshake
    // in which their certificate is trusted (0: the system chooses). Without it, no TLS.
    std::optional<int> tlsPort;
    tls::Settings tls;
    // With a TLS port: the plain port listens on loopback alone (127.0.0.1 and ::1).
    bool tlsOnly = false;
    // Another runner of the clients' requests instead of the device session: a relay, which
    // passes them on to another gateway. Null: the device. With a runner there is no
    // coalescing (each connection's requests are its own), no release of the device and no
    // channel; the device's state names the runner ("relay to gw.example:7106", COM 0).
    std::shared_ptr<RequestRunner> runner;
    // A client that sends nothing for this long is closed; 0 is never.
    int idleTimeoutSeconds = 0;
    // The zero-based serial channel (0 is COM1) and the modem, in force from the first client.
    int channel = 0;
    ModemSettings modem;
    // Reads of one point that wait for the line together share one transaction.
    bool coalesce = true;
    // A device held open while no client is connected is closed this long after the last
    // client went (0: never).
    int releaseAfterSeconds = 60;
    // Called on the serving thread every `heartbeatInterval` while it serves (0: never), so that
    // a watchdog learns that the loop goes round; it must not wait for anything.
    std::chrono::milliseconds heartbeatInterval{0};
    std::function<void()> heartbeat;
};

// The most clients served at once, those in their TLS handshake among them; one more is closed
// at once.
inline constexpr std::size_t kMaxClients = 64;

// The largest idle limit taken, so that it can be counted in milliseconds.
inline constexpr int kMaxIdleTimeoutSeconds = 2'000'000;

// How long a TLS client has from its accept to the end of its handshake.
inline constexpr std::chrono::seconds kTlsHandshakeBound{5};

}  // namespace gateway
