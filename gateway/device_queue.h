// The requests waiting for the device, in the order they came, with the operations of the
// gateway itself (a channel change, new modem settings, a forced close, a client gone) among
// them. Pure, without
// threads: the device worker keeps it under its lock.
//
// A read of a point that comes while another read of the same point still waits joins it: one
// transaction, the same value to every reader. Only a read still waiting can be joined (one on
// the line may have read its value before the newcomer asked), and a write to that point, a
// connect, a disconnect or an operation of the gateway between the two keeps them apart, so that
// every reader gets a value read after its own request came.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <variant>
#include <vector>

#include "modem_settings.h"
#include "request.h"

namespace gateway {

// A client's request, and the connections whose requests it answers (more than one only for a
// read that others joined), in the order they came.
struct ClientJob {
    Request request;
    std::vector<std::uint64_t> connections;
};
// The operations of the gateway.h front door, with the caller's `done`.
struct ChannelJob {
    int channel = 0;
    std::function<void(bool)> done;
};
struct ModemJob {
    ModemSettings settings;
    std::function<void()> done;
};
// Closes a device that is still held open when nobody is connected any longer.
struct ReleaseJob {
    int afterSeconds = 0;
};
// Tells the runner that a client's connection has closed, behind that client's requests.
struct ClosedJob {
    std::uint64_t connection = 0;
};
using DeviceJob = std::variant<ClientJob, ChannelJob, ModemJob, ReleaseJob, ClosedJob>;

class DeviceQueue {
  public:
    explicit DeviceQueue(bool coalesce) : coalesce_(coalesce) {}

    // A client's request; a read joins a waiting read of its point where it may.
    void Add(std::uint64_t connection, Request request);
    void Add(DeviceJob job) { jobs_.push_back(std::move(job)); }

    bool Empty() const { return jobs_.empty(); }
    // The oldest job; only when not empty.
    DeviceJob Take();
    // Every job still waiting, the queue left empty.
    std::deque<DeviceJob> TakeAll();

  private:
    // The waiting read that a read of `snvt` may join, or null.
    ClientJob* Joinable(std::uint16_t snvt);

    bool coalesce_;
    std::deque<DeviceJob> jobs_;
};

}  // namespace gateway
