#include "device_status.h"

#include <ctime>

#include "local_time.h"
#include "log_writer.h"

namespace gateway {

const char* DeviceStateWords(DeviceState state) {
    switch (state) {
        case DeviceState::kClosed:
            return "closed";
        case DeviceState::kDialling:
            return "dialling";
        case DeviceState::kOpen:
            return "open";
        case DeviceState::kModemConnected:
            return "connected through the modem";
        case DeviceState::kLost:
            return "lost";
    }
    return "closed";
}

std::string DescribeDeviceStatus(const DeviceStatus& status) {
    std::string text = "COM" + std::to_string(status.com);
    if (!status.path.empty()) text += " (" + status.path + ")";
    text += std::string(": ") + DeviceStateWords(status.state) + ", " +
            std::to_string(status.clients) + (status.clients == 1 ? " client" : " clients");
    if (!status.lastReason.empty()) {
        char stamp[kLogStampLength + 1] = "";
        const std::time_t when = std::chrono::system_clock::to_time_t(status.lastReasonTime);
        if (const auto local = common::LocalTime(when)) FormatLogStamp(*local, stamp, sizeof stamp);
        std::string at(stamp);
        while (!at.empty() && at.back() == ' ') at.pop_back();
        text += "; last reason at " + at + ": " + status.lastReason;
    }
    return text;
}

}  // namespace gateway
