// Replacing a file so that a reader (or a crash) never sees half of it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace sim {

// Writes `content` to a temporary file in the same folder, flushes it to disk and renames it
// over `file`. On failure the old file is untouched, no temporary is left behind, and `error`
// says why in words.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view content,
                         std::string& error);

}  // namespace sim
