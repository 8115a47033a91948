// vr620 bench: several connections reading one data point concurrently through the gateway.
#pragma once

#include <cstdint>
#include <string>

#include "message_format.h"

namespace vr620 {

struct BenchSettings {
    std::string host;
    int port = gateway::kDefaultPort;
    int timeoutSeconds = 60;
    int clients = 1;
    int requests = 100;
    std::uint16_t point = 0x0001;
};

// Prints the figures on standard output; returns the tool's exit status.
int RunBench(const BenchSettings& settings);

}  // namespace vr620
