#include "log_writer.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "local_time.h"

namespace gateway {

void FormatLogStamp(const std::tm& when, char* out, std::size_t size) {
    int written =
        std::snprintf(out, size, "%02d.%02d.%04d %02d:%02d:%02d  ", when.tm_mday, when.tm_mon + 1,
                      when.tm_year + 1900, when.tm_hour, when.tm_min, when.tm_sec);
    if (written < 0 && size > 0) out[0] = '\0';
}

void LogWriter::Attach(LogReceiver* receiver) {
    {
        // A count of failures belongs to the receiver that had their first line.
        std::lock_guard lock(mutex_);
        leftOut_ = 0;
        repeatedReason_.clear();
    }
    receiver_.store(receiver);
    Write("Log window activated (0x%.8x)",
          static_cast<unsigned>(receiver != nullptr ? receiver->LogReceiverId() : 0));
}

int LogWriter::Write(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int stored = WriteV(format, args);
    va_end(args);
    return stored;
}

int LogWriter::WriteV(const char* format, va_list args) {
    LogReceiver* receiver = receiver_.load();
    if (receiver == nullptr) return 0;
    char text[kLogLineSize];
    int produced = std::vsnprintf(text, sizeof text - kLogStampLength, format, args);
    if (produced < 0) {
        text[0] = '\0';
        produced = 0;
    }
    std::lock_guard lock(mutex_);
    FlushRepeats(receiver);
    Deliver(receiver, text);
    return std::min(produced, static_cast<int>(sizeof text - kLogStampLength - 1));
}

void LogWriter::WriteFailure(std::string_view commandLine, std::string_view reasonLine) {
    LogReceiver* receiver = receiver_.load();
    if (receiver == nullptr) return;
    std::lock_guard lock(mutex_);
    if (!repeatedReason_.empty() && reasonLine == repeatedReason_) {
        if (leftOut_++ == 0) firstLeftOut_ = Clock::now();
        return;
    }
    FlushRepeats(receiver);
    Deliver(receiver, std::string(commandLine).c_str());
    repeatedReason_.assign(reasonLine);
    Deliver(receiver, repeatedReason_.c_str());
}

std::optional<LogWriter::Clock::time_point> LogWriter::RepeatsDue() const {
    std::lock_guard lock(mutex_);
    if (leftOut_ == 0) return std::nullopt;
    return firstLeftOut_ + kRepeatWindow;
}

void LogWriter::WriteDueRepeats(Clock::time_point now) {
    LogReceiver* receiver = receiver_.load();
    std::lock_guard lock(mutex_);
    if (leftOut_ == 0 || now < firstLeftOut_ + kRepeatWindow) return;
    // The failures go on being counted under the same reason.
    const std::string reason = repeatedReason_;
    if (receiver != nullptr) FlushRepeats(receiver);
    repeatedReason_ = reason;
    leftOut_ = 0;
}

void LogWriter::FlushRepeats(LogReceiver* receiver) {
    if (leftOut_ > 0) {
        const std::string line = repeatedReason_ + " (" + std::to_string(leftOut_) +
                                 (leftOut_ == 1 ? " more time" : " more times") +
                                 ", lines left out)";
        Deliver(receiver, line.c_str());
    }
    leftOut_ = 0;
    repeatedReason_.clear();
}

int LogWriter::Deliver(LogReceiver* receiver, const char* text) {
    char line[kLogLineSize];
    std::time_t now = std::time(nullptr);
    if (const auto local = common::LocalTime(now)) {
        FormatLogStamp(*local, line, sizeof line);
    } else {
        line[0] = '\0';
    }
    const std::size_t stamp = std::char_traits<char>::length(line);
    const int stored = std::snprintf(line + stamp, sizeof line - stamp, "%s", text);
    receiver->ReceiveLogLine(line);
    return std::max(stored, 0);
}

LogWriter& ConnectionLog() {
    static LogWriter log;
    return log;
}

void SetLogWindow(LogReceiver* receiver) {
    ConnectionLog().Attach(receiver);
}

int WriteLogLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int stored = ConnectionLog().WriteV(format, args);
    va_end(args);
    return stored;
}

}  // namespace gateway
