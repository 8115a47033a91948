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

    char line[kLogLineSize];
    std::time_t now = std::time(nullptr);
    if (const auto local = common::LocalTime(now)) {
        FormatLogStamp(*local, line, sizeof line);
    } else {
        line[0] = '\0';
    }
    std::size_t stamp = std::char_traits<char>::length(line);

    int produced = std::vsnprintf(line + stamp, sizeof line - stamp, format, args);
    if (produced < 0) {
        line[stamp] = '\0';
        produced = 0;
    }
    int stored = std::min(produced, static_cast<int>(sizeof line - stamp - 1));

    receiver->ReceiveLogLine(line);
    return stored;
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
