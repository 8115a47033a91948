#include "command_handler.h"

#include <algorithm>
#include <cstring>

#include "device_session.h"
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

}  // namespace

std::uint16_t EchoLength(const std::uint8_t* buffer, int received) {
    const std::uint8_t* end = buffer + std::max(received, 0);
    return static_cast<std::uint16_t>(std::find(buffer, end, 0) - buffer);
}

std::uint16_t HandleGatewayCommand(std::uint8_t* buffer, int received, int client) {
    received = std::clamp(received, 0, kMaxBodySize);
    std::uint16_t code = ReadBigEndian16(buffer);
    const char* name = CommandName(code);
    if (name == nullptr) {
        WriteLogLine("Unknown message received from client on %d", client);
        return EchoLength(buffer, received);
    }

    bool whole = received >= static_cast<int>(kHeaderSize);
    if (!whole) {
        // Nothing of an earlier message may show in the reply's header.
        std::memset(buffer + received, 0, kHeaderSize - received);
    }
    std::uint16_t snvt = ReadBigEndian16(buffer + 2);
    std::uint16_t replyLength = kHeaderSize;
    bool ok = false;
    if (whole) {
        switch (code) {
            case kDeviceConnect:
                ok = DeviceOpen();
                break;
            case kDeviceDisconnect:
                ok = DeviceClose();
                break;
            case kSnvtRead: {
                std::uint16_t length = 0;
                ok = SnvtRead(snvt, buffer + kHeaderSize, &length);
                if (ok) replyLength = static_cast<std::uint16_t>(kHeaderSize + length);
                break;
            }
            case kSnvtWrite: {
                std::size_t length = static_cast<std::size_t>(received) - kHeaderSize;
                ok = length <= kMaxValueSize &&
                     SnvtWrite(snvt, buffer + kHeaderSize, static_cast<std::uint16_t>(length));
                break;
            }
        }
    }
    buffer[4] = ok ? kStatusOk : kStatusError;
    WriteLogLine("%s command received from client on %d -> %s", name, client, ok ? "OK" : "ERROR");
    return replyLength;
}

}  // namespace gateway
