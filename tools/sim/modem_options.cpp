#include "modem_options.h"

#include <array>
#include <cctype>
#include <utility>

namespace sim {

std::optional<DialResult> ParseDialResult(std::string_view name) {
    std::string key;
    for (char c : name) {
        key += (c == '_' || c == '-')
                   ? ' '
                   : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    static constexpr std::array<std::pair<std::string_view, DialResult>, 8> kNames{{
        {"CONNECT", DialResult::kConnect},
        {"BUSY", DialResult::kBusy},
        {"NO CARRIER", DialResult::kNoCarrier},
        {"NO ANSWER", DialResult::kNoAnswer},
        {"NO DIAL", DialResult::kNoDial},
        {"ERROR", DialResult::kError},
        {"RING", DialResult::kRing},
        {"SILENT", DialResult::kSilent},
    }};
    for (const auto& [text, result] : kNames) {
        if (key == text) return result;
    }
    return std::nullopt;
}

}  // namespace sim
