// The modem's three command lists as the user writes them: "\r" stands for a carriage return
// and "\n" for a line feed; no other escape exists. Shared by the connection settings and the
// headless gateway's options.
#pragma once

#include <string>
#include <string_view>

namespace gateway {

// Whether the device is reached through a modem, and its command lists with the escapes already
// converted. Empty lists are passed to the library as none.
struct ModemSettings {
    bool useModem = false;
    std::string init;
    std::string dial;
    std::string hangup;
};

inline constexpr std::string_view kDefaultInitText = "ATE0S0=1\\r;AT&W\\r";
inline constexpr std::string_view kDefaultDialText = "ATDT 12345678\\r";
inline constexpr std::string_view kDefaultHangupText = ";+++;ATH\\r";

// Replaces every "\r" (lower-case r only) by CR, then every "\n" of the result by LF, each
// scanned left to right without overlap.
std::string ConvertModemEscapes(std::string_view text);

}  // namespace gateway
