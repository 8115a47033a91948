#include "log_writer.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace gateway {
namespace {

// One word, written by whoever attaches and read once per line by every writer.
std::atomic<LogReceiver*> attachedReceiver{nullptr};

}  // namespace

void FormatLogStamp(const std::tm& when, char* out, std::size_t size) {
    int written =
        std::snprintf(out, size, "%02d.%02d.%04d %02d:%02d:%02d  ", when.tm_mday, when.tm_mon + 1,
                      when.tm_year + 1900, when.tm_hour, when.tm_min, when.tm_sec);
    if (written < 0 && size > 0) out[0] = '\0';
}

void SetLogWindow(LogReceiver* receiver) {
    attachedReceiver.store(receiver);
    WriteLogLine("Log window activated (0x%.8x)",
                 static_cast<unsigned>(receiver != nullptr ? receiver->LogReceiverId() : 0));
}

int WriteLogLine(const char* format, ...) {
    LogReceiver* receiver = attachedReceiver.load();
    if (receiver == nullptr) return 0;

    char line[kLogLineSize];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) != nullptr) {
        FormatLogStamp(local, line, sizeof line);
    } else {
        line[0] = '\0';
    }
    std::size_t stamp = std::char_traits<char>::length(line);

    va_list args;
    va_start(args, format);
    int produced = std::vsnprintf(line + stamp, sizeof line - stamp, format, args);
    va_end(args);
    if (produced < 0) {
        line[stamp] = '\0';
        produced = 0;
    }
    int stored = std::min(produced, static_cast<int>(sizeof line - stamp - 1));

    receiver->ReceiveLogLine(line);
    return stored;
}

}  // namespace gateway
