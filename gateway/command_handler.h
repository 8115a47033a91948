// What the server does with one request: decodes the header, runs the command on the device,
// logs it and rewrites the buffer into the reply. Pure apart from the device and the log, so
// that it can be driven from a byte buffer alone.
#pragma once

#include <cstdint>
#include <optional>

namespace gateway {

class LogWriter;

// The device actions behind the four commands; the device session is the real one.
class DeviceActions {
  public:
    virtual ~DeviceActions() = default;
    virtual bool DeviceOpen() = 0;
    virtual bool DeviceClose() = 0;
    virtual bool SnvtRead(std::uint16_t snvt, std::uint8_t* data, std::uint16_t* length) = 0;
    virtual bool SnvtWrite(std::uint16_t snvt, const std::uint8_t* data, std::uint16_t length) = 0;
};

// `buffer` holds the `received` body bytes followed by a zero byte and has room for
// kMaxBodySize + 1 bytes. The reply is written into `buffer` and its length returned; `client`
// names the connection in `log`.
//
// Answers what needs no device: an unknown code is echoed up to its first zero byte, an empty
// body gets the empty reply, and a known command whose body is shorter than the header gets
// the five-byte reply with status ERROR (missing header bytes as zero). Nothing, with the
// buffer untouched, when the request is a whole command for the device.
std::optional<std::uint16_t> AnswerWithoutDevice(LogWriter& log, std::uint8_t* buffer, int received,
                                                 int client);

// Any request, the device commands run on `device`.
std::uint16_t HandleGatewayCommand(DeviceActions& device, LogWriter& log, std::uint8_t* buffer,
                                   int received, int client);

// The unknown-message reply: the body up to, not including, its first zero byte.
std::uint16_t EchoLength(const std::uint8_t* buffer, int received);

}  // namespace gateway
