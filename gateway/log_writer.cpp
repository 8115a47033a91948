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
    std::lock_guard lock(mutex_);
    // A count belongs to the receiver that had the lines counted, and the next one sees each
    // line in full once.
    const std::string count = folding_.Finish();
    if (LogReceiver* before = receiver_.load(); before != nullptr && !count.empty())
        Deliver(before, count.c_str(), std::time(nullptr));
    receiver_.store(receiver);
}

void LogWriter::AttachWindow(LogReceiver* receiver) {
    Attach(receiver);
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
    if (receiver_.load() == nullptr) return 0;
    char text[kLogLineSize];
    int produced = std::vsnprintf(text, sizeof text - kLogStampLength, format, args);
    if (produced < 0) {
        text[0] = '\0';
        produced = 0;
    }
    std::lock_guard lock(mutex_);
    LogReceiver* receiver = receiver_.load();
    if (receiver == nullptr) return 0;
    Fold(receiver, text);
    return std::min(produced, static_cast<int>(sizeof text - kLogStampLength - 1));
}

void LogWriter::WriteLines(std::initializer_list<std::string_view> texts) {
    std::lock_guard lock(mutex_);
    LogReceiver* receiver = receiver_.load();
    if (receiver == nullptr) return;
    for (const std::string_view text : texts) {
        const std::string line(text.substr(0, kLogLineSize - kLogStampLength - 1));
        Fold(receiver, line.c_str());
    }
}

void LogWriter::SetFolding(bool fold) {
    std::lock_guard lock(mutex_);
    const std::string count = folding_.Finish();
    if (LogReceiver* receiver = receiver_.load(); receiver != nullptr && !count.empty())
        Deliver(receiver, count.c_str(), std::time(nullptr));
    fold_ = fold;
}

void LogWriter::Fold(LogReceiver* receiver, const char* text) {
    const std::time_t now = std::time(nullptr);
    if (!fold_) {
        Deliver(receiver, text, now);
        return;
    }
    const common::LineFolding::Verdict verdict = folding_.Add(text, Clock::now());
    // A held line, and the count of the lines before it, bear the held line's time.
    const std::time_t before = verdict.held.empty() ? now : leftOutAt_;
    if (!verdict.count.empty()) Deliver(receiver, verdict.count.c_str(), before);
    if (!verdict.held.empty()) Deliver(receiver, verdict.held.c_str(), before);
    if (verdict.write) {
        Deliver(receiver, text, now);
    } else {
        leftOutAt_ = now;
    }
}

std::optional<LogWriter::Clock::time_point> LogWriter::RepeatsDue() const {
    std::lock_guard lock(mutex_);
    return folding_.CountDue();
}

void LogWriter::WriteDueRepeats(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    const std::string count = folding_.DueCount(now);
    if (LogReceiver* receiver = receiver_.load(); receiver != nullptr && !count.empty())
        Deliver(receiver, count.c_str(), std::time(nullptr));
}

int LogWriter::Deliver(LogReceiver* receiver, const char* text, std::time_t when) {
    char line[kLogLineSize];
    if (const auto local = common::LocalTime(when)) {
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
    ConnectionLog().AttachWindow(receiver);
}

void SetLogOutput(LogReceiver* receiver) {
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
