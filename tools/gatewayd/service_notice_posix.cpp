#include <systemd/sd-daemon.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "service_notice.h"

namespace gatewayd {

ServiceNotice::ServiceNotice() {
    const char* socket = std::getenv("NOTIFY_SOCKET");
    listening_ = socket != nullptr && *socket != '\0';
    std::uint64_t periodUs = 0;
    // Asked for when WATCHDOG_USEC is set (and WATCHDOG_PID, if set, is ours).
    if (listening_ && sd_watchdog_enabled(0, &periodUs) > 0 && periodUs > 0) {
        watchdogInterval_ = std::chrono::milliseconds(std::max<std::uint64_t>(periodUs / 2000, 1));
    }
}

void ServiceNotice::Send(const std::string& state) {
    if (listening_) sd_notify(0, state.c_str());
}

void ServiceNotice::Ready() {
    std::lock_guard lock(mutex_);
    Send("READY=1");
}

void ServiceNotice::Status(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (text == lastStatus_) return;
    lastStatus_ = text;
    Send("STATUS=" + text);
}

void ServiceNotice::Stopping() {
    std::lock_guard lock(mutex_);
    Send("STOPPING=1");
}

void ServiceNotice::Watchdog() {
    Send("WATCHDOG=1");
}

void ServiceStatusReceiver::ReceiveDeviceStatus(const gateway::DeviceStatus& status) {
    notice_.Status(gateway::DescribeDeviceStatus(status));
}

}  // namespace gatewayd
