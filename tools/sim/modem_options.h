// What the simulated modem answers to a dial, and its timing.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class DialResult { kConnect, kBusy, kNoCarrier, kNoAnswer, kNoDial, kError, kRing, kSilent };

// Parses the --dial-result names (CONNECT, BUSY, "NO CARRIER", ..., SILENT), ignoring case;
// an underscore or a dash may stand for the blank.
std::optional<DialResult> ParseDialResult(std::string_view name);

struct ModemOptions {
    std::chrono::milliseconds dialDelay{500};
    std::string connectText = "CONNECT 9600/ARQ";
    DialResult dialResult = DialResult::kConnect;
    bool lowercase = false;
    std::vector<std::string> banner;  // informational lines before CONNECT
    std::chrono::milliseconds guard{1000};
};

}  // namespace sim
