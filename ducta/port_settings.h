// The port's settings text ("1,9600,n,8,1") and the line build string made from it
// ("baud=9600 parity=n data=8 stop=1"), parsed without touching any device.
#pragma once

#include <optional>
#include <string>

namespace ducta {

// The fields of a settings text: COM number, baud rate, parity letter, data bits, stop bits.
struct PortSettings {
    long port = 1;
    long baud = 9600;
    char parity = 'n';  // one of n e o m s
    long dataBits = 8;
    long stopBits = 1;
};

// Absent fields keep their defaults; a field that is not a number gives 0 (so "2,,n,8,1" has
// baud rate 0); the parity comes from the first non-blank character of its field.
PortSettings ParseSettingsText(const char* text);

// "baud=%ld parity=%c data=%d stop=%d".
std::string FormatBuildString(const PortSettings& settings);

enum class Parity { kNone, kOdd, kEven, kMark, kSpace };

struct LineSettings {
    long baud = 0;
    Parity parity = Parity::kNone;
    int dataBits = 8;
    int stopBits = 1;
};

// Parses a build string of blank-separated keyword=value pairs (keywords baud, parity, data,
// stop, in any letter case). Refused (nothing): an unknown keyword, a value that is not a
// number, a parity other than n e o m s, data bits outside 5..8, stop bits other than 1 or 2.
std::optional<LineSettings> ParseBuildString(const std::string& text);

}  // namespace ducta
