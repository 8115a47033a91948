// A pseudo-terminal pair for serial tests: the code under test opens the far end by its path,
// the test plays the device on the near (master) end. The far end starts raw, so nothing the
// test sends is echoed or translated before the code under test sets the line up itself.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace vr620_test {

class PtyPair {
  public:
    PtyPair() {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        raw.c_cflag |= CLOCAL | CREAD;
        cfsetspeed(&raw, B2400);  // a speed no test asks for, to show whether one was set
        if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) std::abort();
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slave_, F_SETFD, FD_CLOEXEC);
        path_ = name;
    }
    ~PtyPair() { Vanish(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // The path the code under test opens.
    const std::string& Path() const { return path_; }
    int Master() const { return master_; }
    // The line settings the far end has now (a pseudo-terminal shares them with its master).
    termios FarEndSettings() const {
        termios t{};
        tcgetattr(master_, &t);
        return t;
    }

    // Closes both ends, as a USB serial adapter vanishes when it is pulled out: the far end
    // hangs up and its path is gone.
    void Vanish() {
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
        master_ = slave_ = -1;
    }

    // Suspends the output of the far end, so that the line takes no more bytes from the code
    // under test (as a wedged adapter does).
    void StopFarOutput() const { tcflow(slave_, TCOOFF); }

    void Send(const std::vector<std::uint8_t>& bytes) const { Send(bytes.data(), bytes.size()); }
    void Send(const std::string& text) const {
        Send(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
    void Send(const std::uint8_t* data, std::size_t size) const {
        std::size_t done = 0;
        while (done < size) {
            ssize_t n = write(master_, data + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    }

    // Waits up to `wait` for input and reads what is there (nothing after the wait).
    std::vector<std::uint8_t> ReceiveSome(std::chrono::milliseconds wait) const {
        pollfd p{master_, POLLIN, 0};
        std::vector<std::uint8_t> out;
        if (poll(&p, 1, static_cast<int>(wait.count())) <= 0 || !(p.revents & POLLIN)) return out;
        std::uint8_t buffer[512];
        ssize_t n = read(master_, buffer, sizeof buffer);
        if (n > 0) out.assign(buffer, buffer + n);
        return out;
    }

    // Reads until `count` bytes came or the deadline passed.
    std::vector<std::uint8_t> Receive(
        std::size_t count, std::chrono::milliseconds deadline = std::chrono::seconds(5)) const {
        const auto end = std::chrono::steady_clock::now() + deadline;
        std::vector<std::uint8_t> out;
        while (out.size() < count) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            auto some = ReceiveSome(left);
            out.insert(out.end(), some.begin(), some.end());
        }
        return out;
    }

  private:
    int master_ = -1;
    int slave_ = -1;  // kept open so the near end never sees a hang-up between opens
    std::string path_;
};

}  // namespace vr620_test
