// The library's debug output: one line on standard error per failure or event, "ducta: " in
// front, so that a technician can read in the journal why the device is not answered.
//
// Repeated lines are folded as the connection log's are (common/line_folding.h), over every
// module object of the process, whatever thread writes: a client that opens, fails and closes in
// a loop while the device is away leaves its first lines and a count now and then. The library
// has no clock of its own to wake it, so a count is written before the next line of another
// kind, with the first line that comes once it is due, and when the process ends or the library
// is unloaded.
#pragma once

#include <string_view>

namespace ducta {

class DebugOutput {
  public:
    void Line(std::string_view text);
    // "text: " and the system's words for its error code `error` (errno, or GetLastError()).
    void Line(std::string_view text, int error);
};

}  // namespace ducta
