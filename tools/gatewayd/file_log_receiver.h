// The connection log in a file (--log-file, and a Windows service's own): every line appended,
// with the platform's line end, and handed on to the next receiver (standard output) when there
// is one. The file is never rewritten: before the line that would take it past its largest size
// it is renamed to "<file>.1", over the one before, and a new one is begun. A file that cannot
// be written never stops the gateway: one debug line says so, the next lines try it again, and
// one line says when it is written again. Lines are written as they come, as to standard
// output: the file is meant for a local disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "append_file.h"
#include "log_writer.h"

namespace gatewayd {

class FileLogReceiver : public gateway::LogReceiver {
  public:
    // 10 MB, as the line capture counts them.
    static constexpr std::int64_t kLargestSize = 10'000'000;

    // Missing folders of `file` are made at its first line. `next` may be null.
    explicit FileLogReceiver(std::filesystem::path file, gateway::LogReceiver* next = nullptr,
                             std::int64_t largestSize = kLargestSize);

    void ReceiveLogLine(const char* line) override;
    // The next receiver's, or 2 (standard output's is 1).
    std::uint32_t LogReceiverId() const override;

  private:
    // Empty on success, otherwise why not, in words. The log writer hands lines over one at a
    // time, so the file's state needs no lock of its own.
    std::string Append(std::string_view text);
    std::string Open();
    // Renames the file to "<file>.1" and opens a new one.
    std::string Rotate();

    const std::filesystem::path file_;
    gateway::LogReceiver* const next_;
    const std::int64_t largestSize_;
    common::AppendFile out_;
    bool open_ = false;
    std::int64_t size_ = 0;
    std::int64_t rotateAt_;  // the size beyond which it is renamed
    bool failing_ = false;   // the failure has been told, its end not yet
};

}  // namespace gatewayd
