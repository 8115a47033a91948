// SIGINT, SIGTERM and SIGHUP ask the simulator to end; the loops check the flag between
// bounded waits, so the program ends cleanly within a fraction of a second.
#pragma once

namespace sim {

void InstallStopHandlers();
bool StopRequested();

}  // namespace sim
