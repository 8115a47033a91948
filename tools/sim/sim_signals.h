// The simulator's signals. SIGINT, SIGTERM and SIGHUP ask it to end; SIGUSR1 pulls the line out
// (the pseudo-terminal vanishes, as a USB serial adapter does) and SIGUSR2 plugs it back in. The
// loops check the flags between bounded waits, which a signal ends at once.
#pragma once

namespace sim {

void InstallSignalHandlers();
bool StopRequested();

enum class PlugRequest { kNone, kVanish, kReturn };
// The last plug signal since the previous call, if any.
PlugRequest TakePlugRequest();
// True while a SIGUSR1 waits to be taken (a reply under way is abandoned for it).
bool VanishPending();

}  // namespace sim
