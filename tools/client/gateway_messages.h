// One length-prefixed gateway message in each direction on a client's connection, every wait
// bounded by a deadline.
#pragma once

#include <chrono>
#include <cstdint>

namespace vr620 {

// Results of SendGatewayMessage and ReceiveGatewayMessage: a byte count, or one of these.
enum MessageResult : int {
    kResultInvalidSocket = -1,
    kResultConnectionReset = -2,  // the peer has gone (closed, reset, broken pipe)
    kResultReceiveError = -3,
    kResultSendError = -4,
    kResultBadLength = -5,  // a negative length to send, or a body above the capacity
    kResultStalled = -6,    // the message did not move whole within the bound
};

using Deadline = std::chrono::steady_clock::time_point;

// Sends the length field and the body whole by `deadline`. Returns length + 4, or a negative
// MessageResult. A peer that has gone is a result, never a signal.
int SendGatewayMessage(int socket, const std::uint8_t* body, int length, Deadline deadline);

// Receives one message whole into `buffer`, which must hold capacity + 1 bytes: a zero byte is
// stored behind the body. A body above `capacity` (a length field of 0x80000000 or more among
// them) is refused without reading it. The whole message must arrive by `deadline`. Returns
// the body length (0 or more) or a negative MessageResult.
int ReceiveGatewayMessage(int socket, std::uint8_t* buffer, int capacity, Deadline deadline);

}  // namespace vr620
