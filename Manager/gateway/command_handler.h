// What the server does with one request: decodes the header, runs the command on the device
// session, logs it and rewrites the buffer into the reply.
#pragma once

#include <cstdint>

namespace gateway {

// `buffer` holds the `received` body bytes followed by a zero byte and has room for
// kMaxBodySize + 1 bytes. Returns the reply length; the reply is in `buffer`. `client` names the
// connection in the log. A body shorter than the header never reaches the device: a known
// command gets the five-byte reply with status ERROR (missing header bytes as zero).
std::uint16_t HandleGatewayCommand(std::uint8_t* buffer, int received, int client);

// The unknown-message reply: the body up to, not including, its first zero byte.
std::uint16_t EchoLength(const std::uint8_t* buffer, int received);

}  // namespace gateway
