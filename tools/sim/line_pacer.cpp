#include "line_pacer.h"

#include <algorithm>

#include "sim_signals.h"

namespace sim {

LinePacer::LinePacer(LineEndpoint& line, int baud)
    : line_(line),
      byteTime_(std::chrono::duration_cast<Clock::duration>(
          std::chrono::nanoseconds(10'000'000'000LL / std::max(baud, 1)))) {}

bool LinePacer::SleepUntil(Clock::time_point when) {
    for (;;) {
        if (StopRequested() || VanishPending()) return false;
        if (Clock::now() >= when) return true;
        Wait(nullptr, 0, when);
    }
}

bool LinePacer::Send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds extraGap) {
    // A reply queued behind one still on the line starts when the line is free.
    Clock::time_point at = std::max(Clock::now(), lineFreeAt_);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) at += extraGap;
        at += byteTime_;
        if (!SleepUntil(at)) return false;
        if (!line_.Write(bytes.subspan(i, 1))) return false;
    }
    lineFreeAt_ = at;
    return true;
}

void LinePacer::Pause(std::chrono::milliseconds duration) {
    SleepUntil(Clock::now() + duration);
}

}  // namespace sim
