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

namespace {

// "dd.mm.yyyy hh:nn:ss", as the connection log stamps its lines.
std::string Stamp(std::chrono::system_clock::time_point when) {
    char stamp[kLogStampLength + 1] = "";
    if (const auto local = common::LocalTime(std::chrono::system_clock::to_time_t(when)))
        FormatLogStamp(*local, stamp, sizeof stamp);
    std::string at(stamp);
    while (!at.empty() && at.back() == ' ') at.pop_back();
    return at;
}

}  // namespace

std::string DescribeDeviceStatus(const DeviceStatus& status) {
    std::string text;
    if (status.com == 0) {
        // A relay: the device is the other gateway's.
        text = status.path + ", ";
    } else {
        text = "COM" + std::to_string(status.com);
        if (!status.path.empty()) text += " (" + status.path + ")";
        text += std::string(": ") + DeviceStateWords(status.state) + ", ";
    }
    text += std::to_string(status.clients) + (status.clients == 1 ? " client" : " clients");
    if (!status.lastReason.empty())
        text += "; last reason at " + Stamp(status.lastReasonTime) + ": " + status.lastReason;
    if (status.releaseAt)
        text += "; released at " + Stamp(*status.releaseAt) + " unless a client connects";
    return text;
}

}  // namespace gateway
