#include <systemd/sd-daemon.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <mutex>

#include "service_host.h"

namespace gatewayd {

struct ServiceHost::State {
    bool listening = false;
    std::chrono::milliseconds watchdogInterval{0};
    std::mutex mutex;  // guards lastStatus: the serving thread and the device worker report
    std::string lastStatus;

    void Send(const std::string& state) const {
        if (listening) sd_notify(0, state.c_str());
    }
};

// systemd starts a service as any program, and stops it with SIGTERM: there is nothing to run it
// under, and nothing of the stop to hand over.
int ServiceHost::Run(bool, const Program& program) {
    ServiceHost host;
    return program(host);
}

ServiceHost::ServiceHost() : state_(std::make_unique<State>()) {
    const char* socket = std::getenv("NOTIFY_SOCKET");
    state_->listening = socket != nullptr && *socket != '\0';
    std::uint64_t periodUs = 0;
    // Asked for when WATCHDOG_USEC is set (and WATCHDOG_PID, if set, is ours).
    if (state_->listening && sd_watchdog_enabled(0, &periodUs) > 0 && periodUs > 0) {
        state_->watchdogInterval =
            std::chrono::milliseconds(std::max<std::uint64_t>(periodUs / 2000, 1));
    }
}

ServiceHost::~ServiceHost() = default;

bool ServiceHost::Listening() const {
    return state_->listening;
}

std::chrono::milliseconds ServiceHost::WatchdogInterval() const {
    return state_->watchdogInterval;
}

bool ServiceHost::ManagerStops() const {
    return false;
}

// Under systemd standard output is the journal.
bool ServiceHost::HasStandardOutput() const {
    return true;
}

std::filesystem::path ServiceHost::DefaultLogFile() const {
    return {};
}

void ServiceHost::OnStopRequest(std::function<void()>) {}

void ServiceHost::Ready(const std::string&) {
    std::lock_guard lock(state_->mutex);
    state_->Send("READY=1");
}

void ServiceHost::Status(const std::string& text) {
    std::lock_guard lock(state_->mutex);
    if (text == state_->lastStatus) return;
    state_->lastStatus = text;
    state_->Send("STATUS=" + text);
}

void ServiceHost::Stopping() {
    std::lock_guard lock(state_->mutex);
    state_->Send("STOPPING=1");
}

void ServiceHost::Watchdog() {
    state_->Send("WATCHDOG=1");
}

void ServiceHost::Failed(const std::string&) {}

void ServiceStatusReceiver::ReceiveDeviceStatus(const gateway::DeviceStatus& status) {
    host_.Status(gateway::DescribeDeviceStatus(status));
}

}  // namespace gatewayd
