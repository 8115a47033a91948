#include "file_log_receiver.h"

#include <system_error>

#include "debug_line.h"

namespace gatewayd {
namespace fs = std::filesystem;

FileLogReceiver::FileLogReceiver(fs::path file, gateway::LogReceiver* next,
                                 std::int64_t largestSize)
    : file_(std::move(file)), next_(next), largestSize_(largestSize), rotateAt_(largestSize) {}

std::uint32_t FileLogReceiver::LogReceiverId() const {
    return next_ != nullptr ? next_->LogReceiverId() : 2;
}

void FileLogReceiver::ReceiveLogLine(const char* line) {
    std::string text(line);
    text += common::kTextLineEnd;
    const std::string why = Append(text);
    if (!why.empty() && !failing_) {
        common::WriteDebugLine("vr620-gatewayd: connection log " + file_.string() +
                               " not written: " + why);
    } else if (why.empty() && failing_) {
        common::WriteDebugLine("vr620-gatewayd: connection log " + file_.string() +
                               " written again");
    }
    failing_ = !why.empty();
    if (next_ != nullptr) next_->ReceiveLogLine(line);
}

std::string FileLogReceiver::Append(std::string_view text) {
    if (!open_) {
        if (std::string why = Open(); !why.empty()) return why;
    }
    const auto length = static_cast<std::int64_t>(text.size());
    if (size_ > 0 && size_ + length > rotateAt_) {
        if (std::string why = Rotate(); !why.empty()) return why;
    }
    const std::string why =
        out_.Append({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    if (!why.empty()) {
        // Opened afresh at the next line: the file may have been removed or replaced meanwhile.
        out_.Close();
        open_ = false;
        return why;
    }
    size_ += length;
    return {};
}

std::string FileLogReceiver::Open() {
    std::error_code ignored;
    if (file_.has_parent_path()) fs::create_directories(file_.parent_path(), ignored);
    if (std::string why = out_.Open(file_); !why.empty()) return why;
    open_ = true;
    size_ = out_.SizeAtOpen();
    return {};
}

std::string FileLogReceiver::Rotate() {
    out_.Close();
    open_ = false;
    fs::path old = file_;
    old += ".1";
    std::error_code error;
    fs::rename(file_, old, error);
    if (error) {
        // Another program holds it and does not let it be renamed (on Windows): it goes on
        // growing, and is tried again a tenth of its size later.
        common::WriteDebugLine("vr620-gatewayd: connection log " + file_.string() +
                               " not renamed to " + old.string() + ": " + error.message());
        rotateAt_ = size_ + largestSize_ / 10;
    } else {
        rotateAt_ = largestSize_;
    }
    return Open();
}

}  // namespace gatewayd
