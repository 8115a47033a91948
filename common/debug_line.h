// The debug output channel: one line on standard error, where the journal picks it up under
// systemd and a developer sees it in the terminal (on Windows also the debugger's output).
#pragma once

#include <string_view>

namespace common {

// Writes `text` and a line end in one write, so that lines of other threads do not cut into
// it. The last system error stays as it was, so that a caller may still report its own error.
void WriteDebugLine(std::string_view text);

}  // namespace common
