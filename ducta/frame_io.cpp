#include "frame_io.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "frame_codec.h"
#include "serial_port.h"

namespace ducta {
namespace {

constexpr long long kIdleWaitUs = 10000;  // one idle poll
using Clock = std::chrono::steady_clock;

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
    // The budget is N idle polls of 10 ms, N = poll time-out / 10. A wait that a byte ends
    // early is charged only for the time it waited: a reply arriving at line speed (a byte
    // every millisecond or two) must not spend a whole poll per byte gap.
    using std::chrono::microseconds;
    const int polls = (pollTimeoutMs < 0 ? 0 : pollTimeoutMs) / 10;
    microseconds idleLeft = microseconds(static_cast<long long>(polls) * kIdleWaitUs);
    FrameReader reader;
    reply = ReplyFrame{};
    while (!reader.Complete()) {
        if (port->BytesWaiting() > 0) {
            std::uint8_t byte = 0;
            if (port->Read(&byte, 1, true) == SerialPort::kTransferAll) reader.Feed(byte);
            continue;
        }
        const auto start = Clock::now();
        port->WaitReadable(kIdleWaitUs / 1000);
        const auto waited =
            std::min<microseconds>(std::chrono::duration_cast<microseconds>(Clock::now() - start),
                                   microseconds(kIdleWaitUs));
        if (idleLeft <= microseconds::zero()) {
            if (!data.empty()) data[0] = 0;
            return kFrameTimeout;
        }
        idleLeft -= waited;
    }
    const Frame frame = reader.Result();
    reply.command = frame.command;
    reply.indexHigh = frame.indexHigh;
    reply.indexLow = frame.indexLow;
    // A length byte of 0 or 1 carries no data; the reported length is then the length byte
    // minus 2 as a 16-bit value (65534 or 65535), which callers take as "no data field" (any
    // length above 253 is impossible for a real data field). Nothing is copied for it.
    const std::size_t n = std::min(frame.dataSize, data.empty() ? 0 : data.size() - 1);
    reply.dataLength = static_cast<std::uint16_t>(frame.lengthByte - 2);
    std::copy_n(frame.data.begin(), n, data.begin());
    if (!data.empty()) data[n] = 0;
    if (!frame.checksumOk) return kFrameChecksum;
    if (frame.Flagged()) return kFrameFlagged;
    return kFrameOk;
}

}  // namespace ducta
