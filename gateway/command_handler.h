// What the server does with one request: decodes the header, runs the command on the device,
// logs it and builds the reply. Pure apart from the device and the log, so that it can be
// driven from a byte buffer alone.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace gateway {

class DeviceActions;
class LogWriter;

using Body = std::vector<std::uint8_t>;

// The reply body to `request` (a whole received body, at most kMaxBodySize bytes) when it needs
// no device: an unknown code is echoed up to its first zero byte, an empty body gets the empty
// reply, and a known command whose body is shorter than the header gets the five-byte reply
// with status ERROR (missing header bytes as zero). Nothing when the request is a whole
// command for the device. `client` names the connection in `log`.
std::optional<Body> AnswerWithoutDevice(LogWriter& log, std::span<const std::uint8_t> request,
                                        int client);

// The reply body to any request, the device commands run on `device`. A value that does not
// fit a device frame never reaches the device, and one read back that does not fit (or that
// the library reports with a "negative" length: an answer without a data field) is an ERROR.
Body HandleGatewayCommand(DeviceActions& device, LogWriter& log,
                          std::span<const std::uint8_t> request, int client);

}  // namespace gateway
