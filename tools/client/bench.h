// vr620 bench: several connections reading one data point concurrently through the gateway.
#pragma once

#include <cstdint>
#include <string>

namespace vr620 {

struct BenchSettings {
    std::string host;
    int port = 7105;
    int timeoutSeconds = 60;
    int clients = 1;
    int requests = 100;
    std::uint16_t index = 0x0001;
};

// Prints the figures on standard output; returns the tool's exit status.
int RunBench(const BenchSettings& settings);

}  // namespace vr620
