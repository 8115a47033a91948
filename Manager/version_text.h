// The version text of the About box, from the version library in the program's folder
// (VR620VersionInfo.so).
#pragma once

#include <string>

namespace manager {

inline constexpr char kUnknownVersion[] = "?.?.?.?";

// The text that the version library reports, or "?.?.?.?" when the library is missing, lacks
// GetVersionInfo or reports a failure. The library is loaded for this call only.
std::string ReadVersionText();

}  // namespace manager
