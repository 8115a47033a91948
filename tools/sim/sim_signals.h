// The simulator's signals. SIGINT, SIGTERM and SIGHUP ask it to end; SIGUSR1 pulls the line out
// (the pseudo-terminal vanishes, as a USB serial adapter does) and SIGUSR2 plugs it back in.
// They are blocked except inside Wait, so one that comes between a look at the flags and the
// next wait ends that wait at once instead of being seen only when the wait runs out.
#pragma once

#include <poll.h>

#include <chrono>
#include <optional>

namespace sim {

using Clock = std::chrono::steady_clock;

void InstallSignalHandlers();
bool StopRequested();

enum class PlugRequest { kNone, kVanish, kReturn };
// The last plug signal since the previous call, if any.
PlugRequest TakePlugRequest();
// True while a SIGUSR1 waits to be taken (a reply under way is abandoned for it).
bool VanishPending();

// poll() over `fds` (none: a plain pause) until `deadline` (none: no time-out), ended early by
// any of the signals above (-1, EINTR). The one place where the simulator waits.
int Wait(pollfd* fds, nfds_t count, std::optional<Clock::time_point> deadline);

}  // namespace sim
