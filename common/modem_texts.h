// The modem's three command lists as the user writes them, in the connection settings and on
// the headless gateway's command line: "\r" stands for a carriage return and "\n" for a line
// feed; no other escape exists.
#pragma once

#include <string>
#include <string_view>

namespace modem_texts {

// What the user is offered at first, and again when the defaults are restored.
inline constexpr char kDefaultInit[] = "ATE0S0=1\\r;AT&W\\r";
inline constexpr char kDefaultDial[] = "ATDT 12345678\\r";
inline constexpr char kDefaultHangup[] = ";+++;ATH\\r";

// Replaces every "\r" (lower-case r only) by CR, then every "\n" of the result by LF, each
// scanned left to right without overlap.
std::string ConvertEscapes(std::string_view text);

}  // namespace modem_texts
