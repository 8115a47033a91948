// Reporting a failed run-time check of the program's own code: a trace line on the debug output,
// then a box that asks whether to end the program. Always active, in every build.
#pragma once

#include "message_boxes.h"

namespace diagnostics {

inline constexpr char kAssertTitle[] = "!!! Assertion failed !!!";

// Traces "<file name> @ <line> -> !!! Assertion failed !!! <condition>" and shows the box. Ends
// the program with exit code 1 (EXIT_FAILURE) when the user answers Yes; otherwise returns 0.
int AssertFailed(const char* file, int line, const char* condition);

// The text of the box, at most 1023 bytes. `errorCode` is the system's last error code at the
// failed check.
std::string AssertBoxText(const char* title, const char* file, int line, const char* condition,
                          int errorCode);

// Shows the box with the system's last error code (read before anything else) and returns the
// answer; ends the program with exit code 1 on Yes.
manager::BoxAnswer ShowAssertBox(const char* title, const char* file, int line,
                                 const char* condition);

}  // namespace diagnostics
