// The connection log writer. Any thread may write a line; the line gets the local date and time
// in front ("dd.mm.yyyy hh:nn:ss  ") and is handed to the attached receiver, which must take it
// without waiting for another thread (the log window queues a copy), so that no writer is ever
// held up by the window. The lines of one thread keep their order. While nothing is attached,
// lines are dropped without being formatted.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <ctime>

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

  private:
    std::atomic<LogReceiver*> receiver_{nullptr};
};

// The program's one connection log; the two functions below are doors onto it.
LogWriter& ConnectionLog();
void SetLogWindow(LogReceiver* receiver);
int WriteLogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The stamp for `when`, into `out` (at least kLogStampLength + 1 bytes). The time separator is
// the colon: the programs run in the C locale, whose time format uses it.
void FormatLogStamp(const std::tm& when, char* out, std::size_t size);

}  // namespace gateway
