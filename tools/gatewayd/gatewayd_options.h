// The headless gateway's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace gatewayd {

struct Options {
    int port = 7105;
    int com = 1;  // COM1 to COM255
    bool useModem = false;
    // As the user writes them, with the "\r" and "\n" escapes.
    std::string initText;
    std::string dialText;
    std::string hangupText;
    bool help = false;
};

// The options, or nothing with `error` set to a message in words.
std::optional<Options> ParseOptions(const std::vector<std::string>& arguments, std::string& error);

std::string UsageText();

}  // namespace gatewayd
