#include "gateway_messages.h"

#include <array>
#include <cstring>
#include <vector>

#include "deadline.h"
#include "message_format.h"
#include "socket_system.h"

namespace vr620 {
namespace {

namespace net = gateway::net;

// Reads exactly `size` bytes unless the peer goes, an error occurs or the deadline passes.
int ReceiveExactly(ByteChannel& channel, std::uint8_t* buffer, std::size_t size,
                   Deadline deadline) {
    std::size_t done = 0;
    while (done < size) {
        const int got = channel.ReceiveSome(buffer + done, size - done, deadline);
        if (got < 0) return got;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<int>(done);
}

}  // namespace

int WaitForSocket(int socket, short event, Deadline deadline, int failed) {
    for (;;) {
        net::PollEntry entry{socket, event, 0};
        const int ready = net::Poll({&entry, 1}, common::MillisecondsUntil(deadline));
        if (ready > 0) return 0;
        if (ready == 0) return kResultStalled;
        if (net::LastError().kind != net::ErrorKind::kInterrupted) return failed;
    }
}

int SocketChannel::SendSome(const std::uint8_t* data, std::size_t size, Deadline deadline) {
    for (;;) {
        const long n = net::SendBytes(socket_, data, size);
        if (n > 0) return static_cast<int>(n);
        if (n == 0) return kResultSendError;  // TCP takes at least a byte, or says why not
        const net::ErrorKind why = net::LastError().kind;
        if (why == net::ErrorKind::kInterrupted) continue;
        if (why == net::ErrorKind::kWouldBlock) {
            const int waited =
                WaitForSocket(socket_, net::kPollWritable, deadline, kResultSendError);
            if (waited < 0) return waited;
            continue;
        }
        return why == net::ErrorKind::kPeerGone ? kResultConnectionReset : kResultSendError;
    }
}

int SocketChannel::ReceiveSome(std::uint8_t* data, std::size_t size, Deadline deadline) {
    for (;;) {
        const int waited =
            WaitForSocket(socket_, net::kPollReadable, deadline, kResultReceiveError);
        if (waited < 0) return waited;
        const long got = net::ReceiveBytes(socket_, data, size);
        if (got > 0) return static_cast<int>(got);
        if (got == 0) return kResultConnectionReset;
        const net::ErrorKind why = net::LastError().kind;
        if (why == net::ErrorKind::kInterrupted || why == net::ErrorKind::kWouldBlock) continue;
        return why == net::ErrorKind::kPeerGone ? kResultConnectionReset : kResultReceiveError;
    }
}

int SendGatewayMessage(ByteChannel& channel, const std::uint8_t* body, int length,
                       Deadline deadline) {
    if (length < 0) return kResultBadLength;
    std::vector<std::uint8_t> block(gateway::kLengthFieldSize + static_cast<std::size_t>(length));
    const auto field = gateway::EncodeLength(static_cast<std::uint32_t>(length));
    std::memcpy(block.data(), field.data(), field.size());
    if (length > 0) std::memcpy(block.data() + gateway::kLengthFieldSize, body, length);
    std::size_t sent = 0;
    while (sent < block.size()) {
        const int n = channel.SendSome(block.data() + sent, block.size() - sent, deadline);
        if (n < 0) return n;
        sent += static_cast<std::size_t>(n);
    }
    return static_cast<int>(sent);
}

int ReceiveGatewayMessage(ByteChannel& channel, std::uint8_t* buffer, int capacity,
                          Deadline deadline) {
    std::array<std::uint8_t, gateway::kLengthFieldSize> field{};
    int got = ReceiveExactly(channel, field.data(), field.size(), deadline);
    if (got < 0) return got;
    // Compared unsigned: a field with the top bit set is refused like any other oversize body.
    const std::uint32_t length = gateway::DecodeLength(field);
    if (capacity < 0 || length > static_cast<std::uint32_t>(capacity)) return kResultBadLength;
    if (length > 0) {
        got = ReceiveExactly(channel, buffer, length, deadline);
        if (got < 0) return got;
    }
    buffer[length] = 0;
    return static_cast<int>(length);
}

int SendGatewayMessage(int socket, const std::uint8_t* body, int length, Deadline deadline) {
    if (socket == net::kInvalidSocket) return kResultInvalidSocket;
    SocketChannel channel(socket);
    return SendGatewayMessage(channel, body, length, deadline);
}

int ReceiveGatewayMessage(int socket, std::uint8_t* buffer, int capacity, Deadline deadline) {
    if (socket == net::kInvalidSocket) return kResultInvalidSocket;
    SocketChannel channel(socket);
    return ReceiveGatewayMessage(channel, buffer, capacity, deadline);
}

}  // namespace vr620
