// The platform's debugger output: one line on standard error. The socket layer reports its own
// diagnostics here and never in the connection log.
#pragma once

namespace gateway {

void DebugOutput(const char* text);

}  // namespace gateway
