// Replacing a file so that a reader, or a crash, never sees half of it.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace posix {

// Writes `content` to a temporary file in the same folder, gives it `mode`, flushes it to disk
// and renames it over `file`. On failure the old file is untouched, no temporary is left
// behind, errno tells why and `error` (when given) says so in words.
bool ReplaceFile(const std::filesystem::path& file, std::string_view content, mode_t mode,
                 std::string* error = nullptr);

}  // namespace posix
