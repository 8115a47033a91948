#include "device_queue.h"

#include <utility>

namespace gateway {

void DeviceQueue::Add(std::uint64_t connection, Request request) {
    if (coalesce_ && request.command == Command::kSnvtRead) {
        if (ClientJob* waiting = Joinable(request.snvt)) {
            waiting->connections.push_back(connection);
            return;
        }
    }
    jobs_.push_back(ClientJob{std::move(request), {connection}});
}

ClientJob* DeviceQueue::Joinable(std::uint16_t snvt) {
    // From the newest back to the first barrier.
    for (auto job = jobs_.rbegin(); job != jobs_.rend(); ++job) {
        auto* client = std::get_if<ClientJob>(&*job);
        if (client == nullptr) return nullptr;  // the gateway's own operation
        const Request& request = client->request;
        switch (request.command) {
            case Command::kSnvtRead:
                if (request.snvt == snvt) return client;
                break;
            case Command::kSnvtWrite:
                if (request.snvt == snvt) return nullptr;
                break;
            default:  // a connect or a disconnect
                return nullptr;
        }
    }
    return nullptr;
}

DeviceJob DeviceQueue::Take() {
    DeviceJob job = std::move(jobs_.front());
    jobs_.pop_front();
    return job;
}

std::deque<DeviceJob> DeviceQueue::TakeAll() {
    return std::exchange(jobs_, {});
}

}  // namespace gateway
