// Reading and replacing the small settings and data files (DUCTA.INI, VR620Manager.INI, the
// simulator's data file), so that a reader, or a crash, never sees half of one.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "outcome.h"

namespace common {

// The whole content of `file` when it is a regular file that can be read. A folder, a FIFO or
// a device in its place, a missing file or a read error gives nothing (never an exception),
// and nothing is opened in a way that can block.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& file);

// Writes `content` to a temporary file in the same folder, flushes it to disk and renames it
// over `file`. An existing file keeps its permissions; a new one is readable by everybody. On
// failure the old file is untouched, no temporary is left behind, the failure says why in words
// ("cannot replace <file>: <the system's reason>") and LastSystemError() is the system's code.
Outcome<> ReplaceFile(const std::filesystem::path& file, std::string_view content);

}  // namespace common
