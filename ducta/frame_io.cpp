#include "frame_io.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>

#include "frame_codec.h"
#include "serial_port.h"

namespace ducta {

Status WriteFrame(SerialPort* port, std::uint8_t command, std::uint8_t indexHigh,
                  std::uint8_t indexLow, std::span<const std::uint8_t> data) {
    // Data that no frame can carry is refused first, whatever the state of the port.
    std::array<std::uint8_t, kMaxFrameSize> frame{};
    const std::size_t size = BuildFrame(command, indexHigh, indexLow, data, frame);
    if (size == 0) return Status::kRefused;
    if (port == nullptr) return Status::kNoPort;
    if (!port->IsOpen()) return Status::kNotOpen;
    return port->Write(std::span<const std::uint8_t>(frame.data(), size));
}

Status ReadFrame(SerialPort* port, int pollTimeoutMs, Frame& reply) {
    using Clock = SerialPort::Clock;
    reply = Frame{};
    if (port == nullptr) return Status::kNoPort;
    if (!port->IsOpen()) return Status::kNotOpen;
    if (const Status s = port->Ready(); s != Status::kOk) return s;

    const int polls = std::max(pollTimeoutMs, 0) / 10;
    const Clock::duration budget = std::chrono::milliseconds(10LL * (polls + 1));
    const Clock::duration byteGap = port->LineTime(2);
    const Clock::time_point bound = Clock::now() + budget + port->LineTime(kMaxFrameSize);
    Clock::duration idleLeft = budget;
    FrameReader reader;
    std::array<std::uint8_t, kMaxFrameSize> chunk{};
    while (!reader.Complete()) {
        const Clock::time_point waitStart = Clock::now();
        const Clock::time_point deadline = std::min(waitStart + byteGap + idleLeft, bound);
        std::size_t got = 0;
        const Status s = port->ReadSome(std::span(chunk.data(), reader.Wanted()), got, deadline);
        if (s == Status::kTimeout) {
            port->Report("no complete reply within " + std::to_string(pollTimeoutMs) + " ms (" +
                         std::to_string(reader.Received()) + " frame bytes received)");
            return Status::kTimeout;
        }
        if (s != Status::kOk) return s;
        const Clock::duration waited = Clock::now() - waitStart;
        if (waited > byteGap) idleLeft -= waited - byteGap;
        reader.Feed(std::span<const std::uint8_t>(chunk.data(), got));
    }
    reply = reader.Result();
    if (!reply.checksumOk) {
        port->Report(Describe(Status::kChecksum));
        return Status::kChecksum;
    }
    if (reply.Flagged()) {
        char text[64];
        std::snprintf(text, sizeof text, "%s (reply command 0x%02X)", Describe(Status::kFlagged),
                      reply.command);
        port->Report(text);
        return Status::kFlagged;
    }
    return Status::kOk;
}

}  // namespace ducta
