// The debug output channel: one line on standard error, where the journal picks it up under
// systemd and a developer sees it in the terminal.
#pragma once

#include <string_view>

namespace posix {

// Writes `text` and a line end in one write, so that lines of other threads do not cut into
// it. errno stays as it was, so that a caller may still report its own error.
void WriteDebugLine(std::string_view text);

}  // namespace posix
