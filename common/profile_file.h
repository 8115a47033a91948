// Reading and writing initialisation files ("[Section]" and "key=value" lines) with the lookup
// rules that the suite's files were written for: section and key names match without regard to
// letter case, the first of two equal sections or keys wins, a missing file, section or key
// gives the default, a present key with nothing after "=" gives the empty text.
//
// Shared by the device library and the manager at build time; it has no state of its own.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace profile {

// The stored text of `key` in `section`, or nothing when the file, the section or the key is
// missing. Only a regular file counts as a file: a FIFO, a device or a folder is no file.
std::optional<std::string> Lookup(const std::filesystem::path& file, std::string_view section,
                                  std::string_view key);

// The stored text of `key` in `section`, or `defaultValue` when the file, the section or the
// key is missing. A value is cut to `bufferSize` - 1 characters, as a caller's buffer of that
// size would hold it (a size of 0 gives the empty text).
std::string ReadString(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, std::string_view defaultValue,
                       std::size_t bufferSize = 2048);

// The leading decimal integer of the stored value (optional blanks and sign, then digits;
// "12abc" is 12, "B42" is 0), or `defaultValue` when the file, the section or the key is
// missing. Values beyond the range of int saturate.
int ReadInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
            int defaultValue);

// Sets `key` of `section` to `value`, creating the file, the section and the key as needed.
// Every other byte of the file stays as it was; the file is replaced atomically. Returns false
// when the write failed (LastSystemError() tells why); the file then keeps its old content.
bool WriteString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                 std::string_view value);

// Whether two section or key names are the same name: letter case does not count.
bool SameName(std::string_view a, std::string_view b);

// The same rules on a file's text, without the file.
std::optional<std::string> FindValue(std::string_view text, std::string_view section,
                                     std::string_view key);
// `text` with `key` of `section` set to `value`, as WriteString would store it.
std::string WithValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value);

}  // namespace profile
