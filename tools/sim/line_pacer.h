// Sends bytes at the pace of a real line: 10 bits a byte (start, 8 data, stop) at the given
// speed. A pseudo-terminal has no speed of its own, so without this every reply would arrive
// at once and the library's timing could not be tried out.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>

#include "line_endpoint.h"

namespace sim {

class LinePacer {
  public:
    using Clock = std::chrono::steady_clock;
    LinePacer(LineEndpoint& line, int baud);

    // Sends the bytes one by one; each is handed over when it would have been received whole,
    // `extraGap` after the previous one. Stops early (false) when the program is asked to end,
    // the line is to be pulled out, or it takes no more.
    bool Send(std::span<const std::uint8_t> bytes,
              std::chrono::milliseconds extraGap = std::chrono::milliseconds(0));
    // Waits, ending early when the program is asked to end or the line is to be pulled out.
    void Pause(std::chrono::milliseconds duration);

  private:
    // Sleeps until `when`; false when asked to stop first.
    static bool SleepUntil(Clock::time_point when);

    LineEndpoint& line_;
    Clock::duration byteTime_;
    Clock::time_point lineFreeAt_{};
};

}  // namespace sim
