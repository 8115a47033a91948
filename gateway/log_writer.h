// The connection log writer. Any thread may write a line; the line gets the local date and time
// in front ("dd.mm.yyyy hh:nn:ss  ") and is handed to the attached receiver, which must take it
// without waiting for another thread (the log window queues a copy), so that no writer is ever
// held up by the window. Lines are handed over one at a time, in the order they were written.
// While nothing is attached, lines are dropped without being formatted.
//
// A command answered ERROR is written with the line that says why right behind it. When the
// same reason comes again and again with nothing else between (clients that retry at once while
// an adapter is pulled out make tens of thousands of failed requests a second), only the first
// failure is written; the others are counted, and the count is written as one line before the
// next other line, or once a minute has passed since the first one left out.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace gateway {

// The receiving side: the manager's log window, or the headless gateway's standard output.
class LogReceiver {
  public:
    virtual ~LogReceiver() = default;
    // Called on the writing thread; `line` lives only for the call, so it is copied if kept.
    virtual void ReceiveLogLine(const char* line) = 0;
    // The id printed when the receiver is attached (a window's native id, or any stable id).
    virtual std::uint32_t LogReceiverId() const = 0;
};

// The whole line, stamp and terminating zero included.
inline constexpr std::size_t kLogLineSize = 1024;
// "dd.mm.yyyy hh:nn:ss  "
inline constexpr std::size_t kLogStampLength = 21;

class LogWriter {
  public:
    // Attaches `receiver` (or detaches, with null) and writes "Log window activated (0x%.8x)"
    // with its id. The receiver must stay alive while any thread may still be writing to it;
    // detach it and stop the writers before destroying it.
    void Attach(LogReceiver* receiver);

    // Formats one line into a 1024-byte buffer on the caller's stack and delivers it. A text
    // too long for the buffer is cut. Returns the number of text characters stored (the stamp
    // not counted), or 0 when no receiver is attached.
    int Write(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int WriteV(const char* format, va_list args);

    // A failed command: its line (`commandLine`, as it would be written alone) and, right behind
    // it, the line that says why. A failure whose reason line equals that of the failure before,
    // with no other line between, is counted instead of written; the count goes out as
    // "<reason line> (<n> more times, lines left out)".
    void WriteFailure(std::string_view commandLine, std::string_view reasonLine);
    // When the count of failures left out is due, if any: a minute after the first one of them.
    // The server waits for it in its poll.
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> RepeatsDue() const;
    // Writes the count if it is due at `now`.
    void WriteDueRepeats(Clock::time_point now);

    // How long failures are counted before their count is written.
    static constexpr std::chrono::minutes kRepeatWindow{1};

  private:
    // Stamps `text` and hands it to `receiver`; with mutex_ held. The number of text characters
    // stored.
    int Deliver(LogReceiver* receiver, const char* text);
    // The count of the failures left out, if any; with mutex_ held.
    void FlushRepeats(LogReceiver* receiver);

    std::atomic<LogReceiver*> receiver_{nullptr};
    mutable std::mutex mutex_;    // one line at a time, and the count below
    std::string repeatedReason_;  // the reason line of the failures being counted
    unsigned leftOut_ = 0;
    Clock::time_point firstLeftOut_{};
};

// The program's one connection log; the two functions below are doors onto it.
LogWriter& ConnectionLog();
void SetLogWindow(LogReceiver* receiver);
int WriteLogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The stamp for `when`, into `out` (at least kLogStampLength + 1 bytes). The time separator is
// the colon: the programs run in the C locale, whose time format uses it.
void FormatLogStamp(const std::tm& when, char* out, std::size_t size);

}  // namespace gateway
