// vr620 bench: several connections reading one data point (or each its own) concurrently
// through the gateway, a number of times or for a while.
#pragma once

#include <cstdint>
#include <string>

#include "message_format.h"
#include "tls_context.h"

namespace vr620 {

struct BenchSettings {
    std::string host;
    int port = gateway::kDefaultPort;
    int timeoutSeconds = 60;
    int clients = 1;
    int requests = 100;
    int seconds = 0;  // when above 0, each connection reads for this long instead
    std::uint16_t point = 0x0001;
    bool ownPoints = false;  // connection i reads point + i
    tls::Settings tls;       // with a certificate: over TLS
};

// Prints the figures on standard output; returns the tool's exit status.
int RunBench(const BenchSettings& settings);

}  // namespace vr620
