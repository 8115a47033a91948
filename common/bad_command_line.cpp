#include "bad_command_line.h"

namespace common {

std::string BadCommandLineText(std::string_view program, std::string_view error,
                               std::string_view usage) {
    std::string text;
    text.append(program).append(": ").append(error).append("\n");
    // The synopsis: the "Usage:" line and the indented lines that continue it.
    std::size_t at = usage.find("Usage:");
    bool first = true;
    while (at != std::string_view::npos && at < usage.size()) {
        const std::size_t end = usage.find('\n', at);
        const std::string_view line =
            usage.substr(at, end == std::string_view::npos ? end : end - at);
        if (!first && (line.empty() || line.front() != ' ')) break;
        text.append(line).append("\n");
        first = false;
        at = end == std::string_view::npos ? end : end + 1;
    }
    text.append("Try '").append(program).append(" --help' for the options.\n");
    return text;
}

}  // namespace common
