// The test's end of a serial line: bytes sent whole, bytes read with every wait bounded, and the
// arrival time of each byte (read one at a time for that), so that pacing can be checked.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "deadline.h"
#include "write_all.h"

namespace vr620_test {

class LineEnd {
  public:
    using Bytes = std::vector<std::uint8_t>;
    using Clock = std::chrono::steady_clock;
    using milliseconds = std::chrono::milliseconds;

    // Opens the line at `path` raw, as the library does (the simulator's pseudo-terminal).
    explicit LineEnd(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0) return;
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
        tcflush(fd_, TCIOFLUSH);
    }
    ~LineEnd() { Close(); }
    LineEnd(const LineEnd&) = delete;
    LineEnd& operator=(const LineEnd&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    void Send(std::span<const std::uint8_t> bytes) const {
        posix::WriteAll(fd_, bytes.data(), bytes.size());
    }
    void Send(std::string_view text) const { posix::WriteAll(fd_, text); }
    void Send(const Bytes& bytes) const { Send(std::span<const std::uint8_t>(bytes)); }

    // Waits up to `wait` for input and reads what is there (nothing after the wait).
    Bytes ReceiveSome(milliseconds wait) const {
        pollfd p{fd_, POLLIN, 0};
        Bytes out;
        if (poll(&p, 1, static_cast<int>(wait.count())) <= 0 || !(p.revents & POLLIN)) return out;
        std::uint8_t buffer[512];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n > 0) out.assign(buffer, buffer + n);
        return out;
    }
    // Reads until `count` bytes are in or `limit` has passed.
    Bytes Receive(std::size_t count, milliseconds limit = milliseconds(5000)) {
        return ReadWhile([&](const Bytes& got) { return got.size() < count; }, limit);
    }
    // Reads until the text received contains `text` or `limit` has passed.
    Bytes ReadUntil(std::string_view text, milliseconds limit = milliseconds(5000)) {
        return ReadWhile(
            [&](const Bytes& got) {
                return std::string_view(reinterpret_cast<const char*>(got.data()), got.size())
                           .find(text) == std::string_view::npos;
            },
            limit);
    }
    // Reads everything that arrives within `span` (for "nothing comes" checks).
    Bytes ReadFor(milliseconds span) {
        return ReadWhile([](const Bytes&) { return true; }, span);
    }
    // Reads one device frame (after any bytes ahead of its start byte 02), as far as it comes
    // within `limit`.
    Bytes ReadFrame(milliseconds limit = milliseconds(5000)) {
        return ReadWhile(
            [](const Bytes& got) {
                std::size_t start = 0;
                while (start < got.size() && got[start] != 0x02) ++start;
                return got.size() < start + 3 || got.size() < start + got[start + 2] + 4u;
            },
            limit);
    }

    // The time the last byte of the last read arrived.
    Clock::time_point LastByteAt() const { return lastByteAt_; }
    // The arrival time of every byte of the last read.
    const std::vector<Clock::time_point>& Arrivals() const { return arrivals_; }

  protected:
    LineEnd() = default;
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    int fd_ = -1;

  private:
    // Reads while `more` says so and `limit` has not passed.
    template <typename More>
    Bytes ReadWhile(More more, milliseconds limit) {
        Bytes got;
        arrivals_.clear();
        const Clock::time_point deadline = Clock::now() + limit;
        while (more(got)) {
            const int left = common::MillisecondsUntil(deadline);
            if (left == 0) break;
            pollfd pfd{fd_, POLLIN, 0};
            if (poll(&pfd, 1, left) <= 0) continue;
            std::uint8_t byte = 0;
            // One byte at a time, so the arrival of each is known.
            if (read(fd_, &byte, 1) == 1) {
                got.push_back(byte);
                lastByteAt_ = Clock::now();
                arrivals_.push_back(lastByteAt_);
            }
        }
        return got;
    }

    Clock::time_point lastByteAt_{};
    std::vector<Clock::time_point> arrivals_;
};

}  // namespace vr620_test
