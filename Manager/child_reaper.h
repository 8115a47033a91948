// Reaps the client programs that the manager started, once they end, without touching any
// other child of the process and without waking while they run: each child's process
// descriptor (pidfd) is watched by the user-interface thread's event loop and becomes readable
// when the child ends. Where the system has no process descriptors, the known children are
// asked with waitpid(WNOHANG) on a timer that runs only while any of them lives. No signal
// handler is installed.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace manager {

// Adds `pid` to the children to reap. User-interface thread only.
void ReapWhenEnded(pid_t pid);

// Reaps whatever has ended by now; returns how many children are still running.
std::size_t ReapEndedChildren();

}  // namespace manager
