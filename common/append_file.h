// A file that is only ever appended to (the line capture, the gateway's connection log): opened
// for appending only, so that what an earlier open wrote is never touched, and readable by
// others (Wireshark or an editor may have it open) while it grows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace common {

// The line end of text files that people read on this platform: "\r\n" on Windows, "\n" else.
extern const char kTextLineEnd[];

class AppendFile {
  public:
    AppendFile() = default;
    ~AppendFile() { Close(); }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens `file` for appending, creating it when it is missing. Empty on success, otherwise
    // why not, in words ("cannot open: No such file or directory", "is no regular file"). A
    // FIFO or a device in its place is refused without waiting.
    std::string Open(const std::filesystem::path& file);
    // The size of the file when it was opened.
    std::int64_t SizeAtOpen() const { return sizeAtOpen_; }
    // Appends every byte. Empty on success, otherwise why not, in words.
    std::string Append(std::span<const std::uint8_t> bytes);
    void Close();

  private:
    std::intptr_t handle_ = -1;  // a descriptor, or a HANDLE; -1 while closed
    std::int64_t sizeAtOpen_ = 0;
};

}  // namespace common
