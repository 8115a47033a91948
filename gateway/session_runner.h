// The device session as the runner of the clients' requests: a connect opens (or counts up), a
// disconnect closes (or counts down), reads and writes go to the line. Which client asked does
// not matter to it: the count of opens is the gateway's, not a connection's.
#pragma once

#include "device_session.h"
#include "request_runner.h"

namespace gateway {

class SessionRunner final : public RequestRunner {
  public:
    explicit SessionRunner(DeviceSession& session) : session_(session) {}

    DeviceOutcome Run(std::uint64_t connection, const Request& request) override;
    void Closed(std::uint64_t) override {}
    void Finish() override;
    std::string Name() const override { return "COM" + std::to_string(session_.Com()); }

  private:
    DeviceSession& session_;
};

}  // namespace gateway
