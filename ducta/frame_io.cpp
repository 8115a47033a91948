#include "frame_io.h"

#include <algorithm>
#include <array>

#include "frame_codec.h"
#include "serial_port.h"

namespace ducta {
namespace {

constexpr int kIdleWaitMs = 10;

}  // namespace

int WriteFrame(SerialPort* port, std::uint8_t command, std::uint8_t indexHigh,
               std::uint8_t indexLow, std::span<const std::uint8_t> data) {
    if (port == nullptr) return kFrameNoPort;
    if (!port->IsOpen()) return kFrameNotOpen;
    std::array<std::uint8_t, kMaxFrameSize> frame{};
    const std::size_t size = BuildFrame(command, indexHigh, indexLow, data, frame);
    if (size == 0) return kFrameTooLong;
    port->Write(frame.data(), size, true);
    return kFrameOk;
}

int ReadFrame(SerialPort* port, int pollTimeoutMs, ReplyFrame& reply,
              std::span<std::uint8_t> data) {
    if (port == nullptr) return kFrameNoPort;
    if (!port->IsOpen()) return kFrameNotOpen;
    int idleBudget = (pollTimeoutMs < 0 ? 0 : pollTimeoutMs) / 10;
    FrameReader reader;
    reply = ReplyFrame{};
    while (!reader.Complete()) {
        if (port->BytesWaiting() > 0) {
            std::uint8_t byte = 0;
            if (port->Read(&byte, 1, true) == SerialPort::kTransferAll) reader.Feed(byte);
            continue;
        }
        // Wake as soon as a byte arrives, but count the wait as one idle poll either way.
        port->WaitReadable(kIdleWaitMs);
        if (idleBudget == 0) {
            if (!data.empty()) data[0] = 0;
            return kFrameTimeout;
        }
        --idleBudget;
    }
    const Frame frame = reader.Result();
    reply.command = frame.command;
    reply.indexHigh = frame.indexHigh;
    reply.indexLow = frame.indexLow;
    // A length byte of 0 or 1 announces no data (and no room for the index); report 0 data
    // bytes rather than a negative count that a caller would take for 65534 or 65535.
    const std::size_t n = std::min(frame.dataSize, data.empty() ? 0 : data.size() - 1);
    reply.dataLength = static_cast<std::uint16_t>(n);
    std::copy_n(frame.data.begin(), n, data.begin());
    if (!data.empty()) data[n] = 0;
    if (!frame.checksumOk) return kFrameChecksum;
    if (frame.Flagged()) return kFrameFlagged;
    return kFrameOk;
}

}  // namespace ducta
