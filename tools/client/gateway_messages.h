// One length-prefixed gateway message in each direction on a client's connection (a socket's
// own bytes, or TLS over it), every wait bounded by a deadline.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

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

// What a connection's bytes move through, some at a time.
class ByteChannel {
  public:
    virtual ~ByteChannel() = default;
    // Bytes handed over (> 0), waiting until `deadline` at most, or a negative MessageResult.
    virtual int SendSome(const std::uint8_t* data, std::size_t size, Deadline deadline) = 0;
    // Bytes received (> 0), waiting until `deadline` at most, or a negative MessageResult
    // (kResultConnectionReset once the peer has closed).
    virtual int ReceiveSome(std::uint8_t* data, std::size_t size, Deadline deadline) = 0;
    // Words of the channel's own for the last failure (TLS's), if it has any.
    virtual std::string Failure() const { return {}; }
};

// A socket's own bytes.
class SocketChannel final : public ByteChannel {
  public:
    explicit SocketChannel(int socket) : socket_(socket) {}
    int SendSome(const std::uint8_t* data, std::size_t size, Deadline deadline) override;
    int ReceiveSome(std::uint8_t* data, std::size_t size, Deadline deadline) override;

  private:
    int socket_;
};

// Waits until `socket` is ready for `event` (a net::PollEvent): 0, or kResultStalled when the
// deadline passes first, or `failed` when the poll fails.
int WaitForSocket(int socket, short event, Deadline deadline, int failed);

// The messages below on any channel; those on a socket give kResultInvalidSocket for none.
int SendGatewayMessage(ByteChannel& channel, const std::uint8_t* body, int length,
                       Deadline deadline);
int ReceiveGatewayMessage(ByteChannel& channel, std::uint8_t* buffer, int capacity,
                          Deadline deadline);

// Sends the length field and the body whole by `deadline`. Returns length + 4, or a negative
// MessageResult. A peer that has gone is a result, never a signal.
int SendGatewayMessage(int socket, const std::uint8_t* body, int length, Deadline deadline);

// Receives one message whole into `buffer`, which must hold capacity + 1 bytes: a zero byte is
// stored behind the body. A body above `capacity` (a length field of 0x80000000 or more among
// them) is refused without reading it. The whole message must arrive by `deadline`. Returns
// the body length (0 or more) or a negative MessageResult.
int ReceiveGatewayMessage(int socket, std::uint8_t* buffer, int capacity, Deadline deadline);

}  // namespace vr620
