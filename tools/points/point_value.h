// The pure side of a data point: its number as typed, its value shown four ways, and the check
// of a value before it is written. No Qt widgets, no I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace points {

using Bytes = std::vector<std::uint8_t>;

// A point number typed in hexadecimal, with or without "0x": 1 to 4 digits.
std::optional<std::uint16_t> ParsePointNumber(const std::string& text);
// "0102": four upper-case hexadecimal digits.
std::string PointText(std::uint16_t point);

// The value as the table shows it. The integers are the bytes read big-endian, for values of 1
// to 8 bytes; the text only when every byte is printable ASCII (trailing zero bytes allowed).
struct ValueViews {
    std::string hex;
    std::optional<std::uint64_t> unsignedValue;
    std::optional<std::int64_t> signedValue;
    std::optional<std::string> text;
};
ValueViews DescribeValue(const Bytes& value);

enum class ValueCheck { kOk, kEmpty, kNotHex, kTooLong };
// Pairs of hexadecimal digits, blanks between the bytes allowed ("12 34", "1234"); at most
// `maxBytes` bytes (the device frame's data field).
ValueCheck CheckWriteValue(const std::string& text, std::size_t maxBytes, Bytes& value);

}  // namespace points
