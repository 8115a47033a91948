// The version text of the About box, from VR620VersionInfo.so in the program's folder.
#pragma once

#include <string>

namespace manager {

inline constexpr char kUnknownVersion[] = "?.?.?.?";
inline constexpr char kVersionLibraryName[] = "VR620VersionInfo.so";

// The text that the version library reports, or "?.?.?.?" when the library is missing, lacks
// GetVersionInfo or reports a failure. The library is loaded for this call only.
std::string ReadVersionText();

}  // namespace manager
