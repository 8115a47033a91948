// The headless gateway's connection log: each line on standard output, flushed at once. The log
// writer hands lines over one at a time, so the receiver needs no lock of its own.
#pragma once

#include "log_writer.h"

namespace gatewayd {

class StdoutLogReceiver : public gateway::LogReceiver {
  public:
    void ReceiveLogLine(const char* line) override;
    // Standard output's descriptor, the one thing that names this receiver.
    std::uint32_t LogReceiverId() const override { return 1; }
};

}  // namespace gatewayd
