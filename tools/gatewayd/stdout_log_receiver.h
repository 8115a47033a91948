// The headless gateway's connection log: each line on standard output, flushed at once.
#pragma once

#include <mutex>

#include "log_writer.h"

namespace gatewayd {

class StdoutLogReceiver : public gateway::LogReceiver {
  public:
    void ReceiveLogLine(const char* line) override;
    // Standard output's descriptor, the one thing that names this receiver.
    std::uint32_t LogReceiverId() const override { return 1; }

  private:
    std::mutex mutex_;
};

}  // namespace gatewayd
