#include "device_monitor.h"

#include "log_writer.h"

namespace gateway {
namespace {

// A reason that comes again and again (clients that retry at once) is handed to the receiver
// at most this often; the snapshot always has the latest time.
constexpr auto kSameReasonEvery = std::chrono::seconds(1);

}  // namespace

DeviceStatus DeviceMonitor::Snapshot() const {
    std::lock_guard lock(mutex_);
    return status_;
}

void DeviceMonitor::Attach(DeviceStatusReceiver* receiver) {
    std::lock_guard order(deliverMutex_);
    receiver_ = receiver;
    if (receiver_ != nullptr) receiver_->ReceiveDeviceStatus(Snapshot());
}

void DeviceMonitor::Change(const std::function<bool(DeviceStatus&, std::string& line)>& change) {
    std::lock_guard order(deliverMutex_);
    DeviceStatus copy;
    std::string line;
    {
        std::lock_guard lock(mutex_);
        if (!change(status_, line)) return;
        copy = status_;
    }
    if (!line.empty()) log_.Write("%s", line.c_str());
    if (receiver_ != nullptr) receiver_->ReceiveDeviceStatus(copy);
}

bool DeviceMonitor::HeldLocked() const {
    return status_.state == DeviceState::kOpen || status_.state == DeviceState::kModemConnected ||
           status_.state == DeviceState::kLost;
}

void DeviceMonitor::SetPort(int com, const std::string& path) {
    Change([&](DeviceStatus& s, std::string&) {
        if (s.com == com && s.path == path) return false;
        s.com = com;
        s.path = path;
        return true;
    });
}

void DeviceMonitor::Dialling() {
    Change([](DeviceStatus& s, std::string&) {
        s.state = DeviceState::kDialling;
        return true;
    });
}

void DeviceMonitor::Opened(bool modemConnected) {
    Change([&](DeviceStatus& s, std::string&) {
        openedAs_ = modemConnected ? DeviceState::kModemConnected : DeviceState::kOpen;
        portGone_ = false;
        s.state = openedAs_;
        return true;
    });
}

void DeviceMonitor::Closed() {
    Change([&](DeviceStatus& s, std::string&) {
        portGone_ = false;
        if (s.state == DeviceState::kClosed && !s.releaseAt) return false;
        s.state = DeviceState::kClosed;
        s.releaseAt.reset();
        return true;
    });
}

void DeviceMonitor::Failed(const std::string& reason) {
    Change([&](DeviceStatus& s, std::string&) {
        const auto now = std::chrono::steady_clock::now();
        const bool again = s.lastReason == reason;
        s.lastReason = reason;
        s.lastReasonTime = std::chrono::system_clock::now();
        if (again && now - reasonDelivered_ < kSameReasonEvery) return false;
        reasonDelivered_ = now;
        return true;
    });
}

void DeviceMonitor::TransferWorked() {
    // Most transfers find nothing to change; they only look.
    {
        std::lock_guard lock(mutex_);
        if (status_.state != DeviceState::kLost) return;
    }
    PortBack();
}

void DeviceMonitor::PortLost() {
    Change([&](DeviceStatus& s, std::string& line) {
        if (!HeldLocked() || s.state == DeviceState::kLost) return false;
        s.state = DeviceState::kLost;
        portGone_ = true;
        line = "Device on COM" + std::to_string(s.com) + " (" + s.path + ") lost";
        return true;
    });
}

void DeviceMonitor::PortBack() {
    Change([&](DeviceStatus& s, std::string& line) {
        if (s.state != DeviceState::kLost || !portGone_) return false;
        portGone_ = false;
        line = "Device on COM" + std::to_string(s.com) + " (" + s.path + ") back";
        if (openedAs_ == DeviceState::kOpen) s.state = DeviceState::kOpen;
        return true;
    });
}

void DeviceMonitor::ModemConnectionLost() {
    Change([&](DeviceStatus& s, std::string&) {
        if (!HeldLocked() || s.state == DeviceState::kLost) return false;
        s.state = DeviceState::kLost;
        return true;
    });
}

void DeviceMonitor::SetClients(unsigned clients) {
    Change([&](DeviceStatus& s, std::string&) {
        if (s.clients == clients) return false;
        s.clients = clients;
        return true;
    });
}

void DeviceMonitor::ReleaseAt(std::optional<std::chrono::system_clock::time_point> when) {
    Change([&](DeviceStatus& s, std::string&) {
        if (s.releaseAt == when) return false;
        s.releaseAt = when;
        return true;
    });
}

bool DeviceMonitor::Held() const {
    std::lock_guard lock(mutex_);
    return HeldLocked();
}

std::string DeviceMonitor::HeldPath() const {
    std::lock_guard lock(mutex_);
    return HeldLocked() ? status_.path : std::string();
}

}  // namespace gateway
