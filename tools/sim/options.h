// The simulator's command line.
#pragma once

#include <optional>
#include <string>

#include "modem_options.h"

namespace sim {

struct SimOptions {
    std::string link;
    std::string device;
    std::string dataFile;
    int baud = 4800;
    int turnaroundMs = 5;
    bool verbose = false;
    bool modem = false;
    ModemOptions modemOptions;
    bool help = false;
};

// Parses argv; on a mistake gives nullopt and `error` in words.
std::optional<SimOptions> ParseOptions(int argc, const char* const* argv, std::string& error);
std::string HelpText();

}  // namespace sim
