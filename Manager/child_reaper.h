// Reaps the client programs that the manager started, once they end, without touching any
// other child of the process: each known process id is asked with waitpid(WNOHANG) on a timer
// of the user-interface thread. No signal handler is installed.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace manager {

// Adds `pid` to the children to reap. User-interface thread only.
void ReapWhenEnded(pid_t pid);

// Reaps whatever has ended by now; returns how many children are still running.
std::size_t ReapEndedChildren();

}  // namespace manager
