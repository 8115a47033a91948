// The connection log writer. Any thread may write a line; the line gets the local date and time
// in front ("dd.mm.yyyy hh:nn:ss  ") and is handed to the attached receiver, which must take it
// without waiting for another thread (the log window queues a copy), so that no writer is ever
// held up by the window. Lines are handed over one at a time, in the order they were written.
// While nothing is attached, lines are dropped without being formatted.
//
// Repeated lines are folded (common/line_folding.h): clients that retry in a loop while an
// adapter is pulled out leave their first round and a count now and then, not tens of thousands
// of lines a second. The count is written before the next line of another kind, and when it
// falls due while the run lasts; the server waits for that in its poll (RepeatsDue).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "line_folding.h"

namespace gateway {

// The receiving side: the manager's log window, or the headless gateway's standard output.
class LogReceiver {
  public:
    virtual ~LogReceiver() = default;
    // Called on the writing thread; `line` lives only for the call, so it is copied if kept.
    virtual void ReceiveLogLine(const char* line) = 0;
    // The id printed when the receiver is attached as a window (its native id).
    virtual std::uint32_t LogReceiverId() const = 0;
};

// The whole line, stamp and terminating zero included.
inline constexpr std::size_t kLogLineSize = 1024;
// "dd.mm.yyyy hh:nn:ss  "
inline constexpr std::size_t kLogStampLength = 21;

class LogWriter {
  public:
    // Attaches `receiver` (or detaches, with null); the count of lines left out so far goes to
    // the receiver before. The receiver must stay alive while any thread may still be writing to
    // it; detach it and stop the writers before destroying it.
    void Attach(LogReceiver* receiver);
    // The same for a window, and writes "Log window activated (0x%.8x)" with its id.
    void AttachWindow(LogReceiver* receiver);

    // Formats one line into a 1024-byte buffer on the caller's stack and delivers it. A text
    // too long for the buffer is cut. Returns the number of text characters stored (the stamp
    // not counted; a line left out as a repeat counts as stored), or 0 when no receiver is
    // attached.
    int Write(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int WriteV(const char* format, va_list args);
    // Each text as a line, one after another with no other thread's line between (a command and
    // the reason of its ERROR). Texts are cut as Write() cuts them.
    void WriteLines(std::initializer_list<std::string_view> texts);

    // Whether repeated lines are folded (the default); off, every line is written as it comes,
    // for a reader that needs each one. A count so far is written first.
    void SetFolding(bool fold);

    // When the count of lines left out is due, if any. The server waits for it in its poll.
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> RepeatsDue() const;
    // Writes the count if it is due at `now`.
    void WriteDueRepeats(Clock::time_point now);

  private:
    // Stamps `text` with `when` and hands it to `receiver`; with mutex_ held. The number of text
    // characters stored.
    int Deliver(LogReceiver* receiver, const char* text, std::time_t when);
    // Folds `text` (cut to a line) and delivers what is to be written; with mutex_ held.
    void Fold(LogReceiver* receiver, const char* text);

    std::atomic<LogReceiver*> receiver_{nullptr};
    mutable std::mutex mutex_;  // one line at a time, and the folding
    common::LineFolding folding_;
    std::time_t leftOutAt_ = 0;  // when the line that the folding holds came
    bool fold_ = true;
};

// The program's one connection log; the functions below are doors onto it.
LogWriter& ConnectionLog();
// The manager's log window, announced in the log.
void SetLogWindow(LogReceiver* receiver);
// An output that is no window (the headless gateway's standard output), not announced.
void SetLogOutput(LogReceiver* receiver);
int WriteLogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The stamp for `when`, into `out` (at least kLogStampLength + 1 bytes). The time separator is
// the colon: the programs run in the C locale, whose time format uses it.
void FormatLogStamp(const std::tm& when, char* out, std::size_t size);

}  // namespace gateway
