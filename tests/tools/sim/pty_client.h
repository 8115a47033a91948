// The test's end of the simulator's line: the pseudo-terminal opened raw, as the library does.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "frame_codec.h"

namespace vr620_test {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

inline Bytes BuildRequest(std::uint8_t command, std::uint16_t index, const Bytes& data = {}) {
    std::array<std::uint8_t, ducta::kMaxFrameSize> out{};
    const std::size_t n = ducta::BuildFrame(command, static_cast<std::uint8_t>(index >> 8),
                                            static_cast<std::uint8_t>(index & 0xFF), data, out);
    return {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n)};
}

inline Bytes ToBytes(std::string_view text) {
    return {text.begin(), text.end()};
}
inline std::string ToText(const Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

class PtyClient {
  public:
    explicit PtyClient(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0) return;
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
        tcflush(fd_, TCIOFLUSH);
    }
    ~PtyClient() {
        if (fd_ >= 0) close(fd_);
    }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    void Send(std::span<const std::uint8_t> bytes) {
        while (!bytes.empty()) {
            const ssize_t n = write(fd_, bytes.data(), bytes.size());
            if (n <= 0) return;
            bytes = bytes.subspan(static_cast<std::size_t>(n));
        }
    }
    void Send(std::string_view text) { Send(std::span<const std::uint8_t>(ToBytes(text))); }

    // Reads until `count` bytes are in or `limit` has passed.
    Bytes ReadCount(std::size_t count, milliseconds limit = milliseconds(5000)) {
        return ReadWhile([&](const Bytes& got) { return got.size() < count; }, limit);
    }
    // Reads until the text received contains `text` or `limit` has passed.
    Bytes ReadUntil(std::string_view text, milliseconds limit = milliseconds(5000)) {
        return ReadWhile(
            [&](const Bytes& got) { return ToText(got).find(text) == std::string::npos; }, limit);
    }
    // Reads everything that arrives within `span` (for "nothing comes" checks).
    Bytes ReadFor(milliseconds span) {
        return ReadWhile([](const Bytes&) { return true; }, span);
    }
    // Reads one reply frame (after any bytes ahead of it), as far as it comes within `limit`.
    Bytes ReadFrame(milliseconds limit = milliseconds(5000)) {
        return ReadWhile(
            [](const Bytes& got) {
                std::size_t start = 0;
                while (start < got.size() && got[start] != ducta::kStx) ++start;
                return got.size() < start + 3 || got.size() < start + got[start + 2] + 4u;
            },
            limit);
    }

    // The time the last byte of the last read arrived.
    Clock::time_point LastByteAt() const { return lastByteAt_; }
    // The arrival time of every byte of the last read.
    const std::vector<Clock::time_point>& Arrivals() const { return arrivals_; }

  private:
    template <typename More>
    Bytes ReadWhile(More more, milliseconds limit) {
        Bytes got;
        arrivals_.clear();
        const Clock::time_point deadline = Clock::now() + limit;
        while (more(got)) {
            const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            pollfd pfd{fd_, POLLIN, 0};
            if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
            std::array<std::uint8_t, 1> b{};
            // One byte at a time, so the arrival of each is known.
            if (read(fd_, b.data(), 1) == 1) {
                got.push_back(b[0]);
                lastByteAt_ = Clock::now();
                arrivals_.push_back(lastByteAt_);
            }
        }
        return got;
    }

    int fd_ = -1;
    Clock::time_point lastByteAt_{};
    std::vector<Clock::time_point> arrivals_;
};

}  // namespace vr620_test
