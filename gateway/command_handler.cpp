#include "command_handler.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "device_actions.h"
#include "log_writer.h"
#include "message_format.h"

namespace gateway {
namespace {

const char* CommandName(std::uint16_t code) {
    switch (code) {
        case kDeviceConnect:
            return "DEVICE_CONNECT";
        case kDeviceDisconnect:
            return "DEVICE_DISCONNECT";
        case kSnvtRead:
            return "SNVT_READ";
        case kSnvtWrite:
            return "SNVT_WRITE";
        default:
            return nullptr;
    }
}

// The request's code and SNVT number (missing bytes as zero), the status, and `value` behind.
// An ERROR from `device` is logged with the line that says why (`gatewayReason` when the gateway
// itself refused what the device answered or was given).
Body Answer(LogWriter& log, std::span<const std::uint8_t> request, int client, bool ok,
            DeviceActions* device = nullptr, std::span<const std::uint8_t> value = {},
            std::string_view gatewayReason = {}) {
    Body reply(kHeaderSize + value.size(), 0);
    std::copy_n(request.begin(), std::min(request.size(), kHeaderSize - 1), reply.begin());
    reply[4] = ok ? kStatusOk : kStatusError;
    std::copy(value.begin(), value.end(), reply.begin() + kHeaderSize);
    char line[128];
    std::snprintf(line, sizeof line, "%s command received from client on %d -> %s",
                  CommandName(ReadBigEndian16(reply.data())), client, ok ? "OK" : "ERROR");
    const std::string why = !ok && device != nullptr ? device->FailureLine(gatewayReason) : "";
    if (why.empty()) {
        log.Write("%s", line);
    } else {
        log.WriteFailure(line, why);
    }
    return reply;
}

}  // namespace

std::optional<Body> AnswerWithoutDevice(LogWriter& log, std::span<const std::uint8_t> request,
                                        int client) {
    // A lone byte is a code with a zero behind it; an empty body has no code at all.
    const std::uint16_t code =
        request.empty()
            ? 0
            : static_cast<std::uint16_t>(request[0] << 8 | (request.size() > 1 ? request[1] : 0));
    if (request.empty() || CommandName(code) == nullptr) {
        log.Write("Unknown message received from client on %d", client);
        return Body(request.begin(), std::find(request.begin(), request.end(), 0));
    }
    if (request.size() >= kHeaderSize) return std::nullopt;
    return Answer(log, request, client, false);
}

Body HandleGatewayCommand(DeviceActions& device, LogWriter& log,
                          std::span<const std::uint8_t> request, int client) {
    if (auto answer = AnswerWithoutDevice(log, request, client)) return std::move(*answer);
    const std::uint16_t code = ReadBigEndian16(request.data());
    const std::uint16_t snvt = ReadBigEndian16(request.data() + 2);
    switch (code) {
        case kDeviceConnect:
            return Answer(log, request, client, device.DeviceOpen(), &device);
        case kDeviceDisconnect:
            return Answer(log, request, client, device.DeviceClose(), &device);
        case kSnvtRead: {
            std::array<std::uint8_t, kMaxValueSize + 1> value{};
            std::uint16_t length = 0;
            if (!device.SnvtRead(snvt, value.data(), &length))
                return Answer(log, request, client, false, &device);
            if (length > kMaxValueSize) {
                return Answer(log, request, client, false, &device, {},
                              "reply without a data field");
            }
            return Answer(log, request, client, true, &device, {value.data(), length});
        }
        default: {  // kSnvtWrite
            const auto value = request.subspan(kHeaderSize);
            if (value.size() > kMaxValueSize) {
                const std::string why = "value of " + std::to_string(value.size()) +
                                        " bytes does not fit a device frame (at most " +
                                        std::to_string(kMaxValueSize) + ")";
                return Answer(log, request, client, false, &device, {}, why);
            }
            const bool ok =
                device.SnvtWrite(snvt, value.data(), static_cast<std::uint16_t>(value.size()));
            return Answer(log, request, client, ok, &device);
        }
    }
}

}  // namespace gateway
