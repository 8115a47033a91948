// The library's debug output: one line on standard error per failure or event, "ducta: " in
// front, so that a technician can read in the journal why the device is not answered. A line
// equal to the one before is counted instead of printed (a client that asks in a loop while the
// device is away would fill the journal); the count is told before the next different line.
#pragma once

#include <string>
#include <string_view>

namespace ducta {

class DebugOutput {
  public:
    DebugOutput() = default;
    ~DebugOutput();
    DebugOutput(const DebugOutput&) = delete;
    DebugOutput& operator=(const DebugOutput&) = delete;

    void Line(std::string_view text);
    // "text: " and the system's words for its error code `error` (errno, or GetLastError()).
    void Line(std::string_view text, int error);

  private:
    void FlushRepeats();

    std::string last_;
    unsigned repeats_ = 0;
};

}  // namespace ducta
