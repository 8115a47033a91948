#include "whole_number.h"

#include <charconv>

namespace common {

std::optional<int> ParseWholeNumber(std::string_view text, int low, int high, int base) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value, base);
    if (ec != std::errc() || stop != end || value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace common
