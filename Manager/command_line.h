// The manager's own command line: "LANG=", "PORT=" and "HOST=", one argument each, the same
// keys that it passes on to the client programs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "message_format.h"

namespace manager {

struct CommandLineSettings {
    std::string language;
    int port = gateway::kDefaultPort;
    std::string host = "localhost";
};

// Applies `arguments` (without the program path) in order onto `settings`: an argument that
// begins with a key, case-sensitive, sets its value with every occurrence of the key removed;
// later ones win. A port that is not a whole decimal number from 1 to 65535 gives 7105.
void ApplyCommandLine(const std::vector<std::string>& arguments, CommandLineSettings& settings);

// `text` as a signed decimal int, or `fallback` when it is not one (empty, letters, blanks,
// out of range).
int ParseDecimal(std::string_view text, int fallback);

// The process's own arguments, without the program path.
std::vector<std::string> ProcessArguments();

}  // namespace manager
