// The vr620 tool's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vr620 {

enum class Action { kRead, kWrite, kConnect, kDisconnect, kBench, kHelp };

struct CommandLine {
    std::string host = "localhost";
    int port = 7105;
    int timeoutSeconds = 60;
    Action action = Action::kHelp;
    std::uint16_t index = 0x0001;
    std::vector<std::uint8_t> value;
    int clients = 1;
    int requests = 10;
};

// Decimal, or hexadecimal with 0x; 0 to 65535.
std::optional<std::uint16_t> ParseIndex(const std::string& text);
// Pairs of hexadecimal digits, optionally separated by blanks, ':' or '-' ("1234", "12 34").
std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text);
std::string FormatHexBytes(const std::vector<std::uint8_t>& bytes);

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments,
                                            std::string& error);
std::string UsageText();

}  // namespace vr620
