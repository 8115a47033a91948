// A file that is only ever appended to (the line capture, the gateway's connection log): opened
// for appending only, so that what an earlier open wrote is never touched, and readable by
// others (Wireshark or an editor may have it open) while it grows. While open it holds an
// exclusive lock, so that two writers (two processes that load the library from one folder,
// each on its own port) never write into one file at the same time: a file whose lock cannot be
// taken is closed again unwritten.
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

    // Opens `file` for appending, creating it when it is missing, and takes its lock without
    // waiting. Empty on success, otherwise why not, in words ("cannot open: No such file or
    // directory", "is no regular file", kInUse when another writer holds the lock). A FIFO or
    // a device in its place is refused without waiting.
    std::string Open(const std::filesystem::path& file);
    static constexpr const char* kInUse = "in use by another process";
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
