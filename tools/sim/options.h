// The simulator's command line.
#pragma once

#include <string>

#include "modem_options.h"
#include "outcome.h"

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

// Parses argv; a mistake is a failure that says it in words.
common::Outcome<SimOptions> ParseOptions(int argc, const char* const* argv);
std::string HelpText();

}  // namespace sim
