// The debug output channel: one line on standard error per trace, headed by the source file's
// name and the line of the call.
#pragma once

namespace diagnostics {

// Writes "<file name> @ <line> -> " and the printf-formatted text as one line. Folders are cut
// from `file`.
void DebugTrace(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The name of `path` without its folders ('/' or '\' separated).
const char* FileNameOf(const char* path);

}  // namespace diagnostics

#define DEBUG_TRACE(...) ::diagnostics::DebugTrace(__FILE__, __LINE__, __VA_ARGS__)
