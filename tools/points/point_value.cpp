#include "point_value.h"

#include <cstdio>

namespace points {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::optional<std::uint16_t> ParsePointNumber(const std::string& text) {
    std::string digits = Trimmed(text);
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 4) return std::nullopt;
    unsigned value = 0;
    for (char c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<std::uint16_t>(value);
}

std::string PointText(std::uint16_t point) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(point));
    return text;
}

ValueViews DescribeValue(const Bytes& value) {
    ValueViews views;
    char part[4];
    for (std::uint8_t byte : value) {
        std::snprintf(part, sizeof part, views.hex.empty() ? "%02X" : " %02X", byte);
        views.hex += part;
    }
    if (!value.empty() && value.size() <= 8) {
        std::uint64_t number = 0;
        for (std::uint8_t byte : value) number = number << 8 | byte;
        views.unsignedValue = number;
        // Sign-extended from the value's own width.
        const unsigned bits = static_cast<unsigned>(value.size()) * 8;
        if (bits < 64 && (number >> (bits - 1)) != 0) number |= ~std::uint64_t{0} << bits;
        views.signedValue = static_cast<std::int64_t>(number);
    }
    std::size_t end = value.size();
    while (end > 0 && value[end - 1] == 0) --end;
    if (end > 0) {
        std::string text;
        for (std::size_t i = 0; i < end; ++i) {
            if (value[i] < 0x20 || value[i] > 0x7E) return views;
            text += static_cast<char>(value[i]);
        }
        views.text = text;
    }
    return views;
}

ValueCheck CheckWriteValue(const std::string& text, std::size_t maxBytes, Bytes& value) {
    value.clear();
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == '\t') {
            if (high >= 0) return ValueCheck::kNotHex;  // a byte split by a blank
            continue;
        }
        const int digit = HexDigit(c);
        if (digit < 0) return ValueCheck::kNotHex;
        if (high < 0) {
            high = digit;
            continue;
        }
        value.push_back(static_cast<std::uint8_t>(high << 4 | digit));
        high = -1;
    }
    if (high >= 0) return ValueCheck::kNotHex;  // an odd digit left over
    if (value.empty()) return ValueCheck::kEmpty;
    if (value.size() > maxBytes) return ValueCheck::kTooLong;
    return ValueCheck::kOk;
}

}  // namespace points
