#include <chrono>
#include <cstdint>
#include <cstring>

#include "deadline.h"
#include "socket_layer.h"
#include "socket_system.h"
#include "wake_signal.h"

namespace gateway {
namespace {

constexpr auto kPairBound = std::chrono::seconds(5);

// Reads `size` bytes from a non-blocking socket within `deadline`.
bool ReceiveWithin(int socket, std::uint8_t* data, std::size_t size,
                   std::chrono::steady_clock::time_point deadline) {
    std::size_t done = 0;
    while (done < size) {
        net::PollEntry entry{socket, net::kPollReadable, 0};
        const int left = common::MillisecondsUntil(deadline);
        if (left == 0 || net::Poll({&entry, 1}, left) != 1) return false;
        const long got = net::ReceiveBytes(socket, data + done, size - done);
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

WakeSignal::~WakeSignal() {
    if (readEnd_ == net::kInvalidSocket) return;
    net::CloseSocket(readEnd_);
    net::CloseSocket(writeEnd_);
    CleanupSockets();
}

// The pair is made through a listener on 127.0.0.1 that lives only until its one connection is
// accepted. Another local program could connect to it first: the accepted end must then read a
// token that only our own end knows.
bool WakeSignal::Open() {
    if (!StartSockets()) return false;
    const auto deadline = std::chrono::steady_clock::now() + kPairBound;
    const IpAddress loopback = IpAddress::FromIpv4(0x7F000001);
    const int listener = net::OpenStreamSocket(false);
    int writer = net::OpenStreamSocket(false);
    int reader = net::kInvalidSocket;
    if (listener != net::kInvalidSocket && writer != net::kInvalidSocket &&
        net::BindSocket(listener, loopback, 0) && net::ListenSocket(listener) &&
        net::SetNonBlocking(listener) &&
        net::ConnectSocket(writer, loopback, net::BoundPort(listener), deadline)) {
        net::PollEntry entry{listener, net::kPollReadable, 0};
        IpAddress peer;
        if (net::Poll({&entry, 1}, common::MillisecondsUntil(deadline)) == 1)
            reader = net::AcceptConnection(listener, peer);
    }
    net::CloseSocket(listener);
    std::uint64_t token =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        reinterpret_cast<std::uintptr_t>(this);
    std::uint8_t sent[sizeof token];
    std::uint8_t received[sizeof token] = {};
    std::memcpy(sent, &token, sizeof token);
    if (reader != net::kInvalidSocket &&
        (net::SendBytes(writer, sent, sizeof sent) != static_cast<long>(sizeof sent) ||
         !ReceiveWithin(reader, received, sizeof received, deadline) ||
         std::memcmp(sent, received, sizeof sent) != 0)) {
        net::CloseSocket(reader);
        reader = net::kInvalidSocket;
    }
    if (reader == net::kInvalidSocket) {
        net::CloseSocket(writer);
        CleanupSockets();
        return false;
    }
    net::SetNoDelay(writer);
    readEnd_ = reader;
    writeEnd_ = writer;
    return true;
}

void WakeSignal::Raise() {
    // A full pipe already holds a wake-up: a byte that does not fit is not missed.
    const std::uint8_t one = 1;
    net::SendBytes(writeEnd_, &one, 1);
}

void WakeSignal::Clear() {
    std::uint8_t bytes[64];
    while (net::ReceiveBytes(readEnd_, bytes, sizeof bytes) > 0) {
    }
}

}  // namespace gateway
