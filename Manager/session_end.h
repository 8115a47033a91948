// The end of the user's session reaches the program as one call on the user-interface thread, so
// that the program ends in order (device closed, modem hung up) instead of being killed with the
// line open. On Linux the end is SIGTERM, SIGINT or SIGHUP; a second signal of the same kind
// ends the program at once, as before, and a signal that the program was started with ignored
// stays ignored. On Windows it is the end of the Windows session, which ends the process soon
// after it has been answered: the orderly end runs to its finish before the answer.
#pragma once

#include <functional>

namespace manager {

// From now on `endProgram` runs on the user-interface thread when the session ends; it must
// lead to QCoreApplication::quit(). User-interface thread, with the application object made.
// False, with the reason on the debug output, when the end cannot be watched for.
bool WatchSessionEnd(std::function<void()> endProgram);

}  // namespace manager
