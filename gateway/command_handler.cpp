#include "command_handler.h"

#include <algorithm>
#include <cstring>

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

std::uint16_t Finish(LogWriter& log, std::uint8_t* buffer, const char* name, int client, bool ok,
                     std::uint16_t replyLength) {
    buffer[4] = ok ? kStatusOk : kStatusError;
    log.Write("%s command received from client on %d -> %s", name, client, ok ? "OK" : "ERROR");
    return replyLength;
}

}  // namespace

std::uint16_t EchoLength(const std::uint8_t* buffer, int received) {
    const std::uint8_t* end = buffer + std::max(received, 0);
    return static_cast<std::uint16_t>(std::find(buffer, end, 0) - buffer);
}

std::optional<std::uint16_t> AnswerWithoutDevice(LogWriter& log, std::uint8_t* buffer, int received,
                                                 int client) {
    received = std::clamp(received, 0, kMaxBodySize);
    // An empty body has no code of its own: whatever an earlier message left in the buffer
    // must not be taken for one.
    const char* name = received > 0 ? CommandName(ReadBigEndian16(buffer)) : nullptr;
    if (name == nullptr) {
        log.Write("Unknown message received from client on %d", client);
        return EchoLength(buffer, received);
    }
    if (received >= static_cast<int>(kHeaderSize)) return std::nullopt;
    // Nothing of an earlier message may show in the reply's header.
    std::memset(buffer + received, 0, kHeaderSize - received);
    return Finish(log, buffer, name, client, false, kHeaderSize);
}

std::uint16_t HandleGatewayCommand(DeviceActions& device, LogWriter& log, std::uint8_t* buffer,
                                   int received, int client) {
    if (auto answer = AnswerWithoutDevice(log, buffer, received, client)) return *answer;
    received = std::min(received, kMaxBodySize);
    std::uint16_t code = ReadBigEndian16(buffer);
    std::uint16_t snvt = ReadBigEndian16(buffer + 2);
    std::uint16_t replyLength = kHeaderSize;
    bool ok = false;
    switch (code) {
        case kDeviceConnect:
            ok = device.DeviceOpen();
            break;
        case kDeviceDisconnect:
            ok = device.DeviceClose();
            break;
        case kSnvtRead: {
            std::uint16_t length = 0;
            // A value longer than a device frame holds would run past the buffer.
            ok = device.SnvtRead(snvt, buffer + kHeaderSize, &length) && length <= kMaxValueSize;
            if (ok) replyLength = static_cast<std::uint16_t>(kHeaderSize + length);
            break;
        }
        case kSnvtWrite: {
            std::size_t length = static_cast<std::size_t>(received) - kHeaderSize;
            ok = length <= kMaxValueSize &&
                 device.SnvtWrite(snvt, buffer + kHeaderSize, static_cast<std::uint16_t>(length));
            break;
        }
    }
    return Finish(log, buffer, CommandName(code), client, ok, replyLength);
}

}  // namespace gateway
