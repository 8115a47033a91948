#include "serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "device_path.h"
#include "port_settings.h"
#include "termios_line.h"

namespace ducta {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

SerialPort::~SerialPort() {
    Close();
}

int SerialPort::Open(const char* settingsText) {
    settingsText_ = settingsText != nullptr ? settingsText : "";
    Close();
    const PortSettings settings = ParseSettingsText(settingsText);
    devicePath_ = DevicePathForCom(configFile_, settings.port);
    if (devicePath_.empty()) return kOpenDeviceFailed;

    // Non-blocking from the start: a terminal without carrier would otherwise hold the open,
    // and a line that stops taking bytes would hold a write. Every wait is bounded by poll().
    int fd = open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return kOpenDeviceFailed;
    // One user of a port at a time: the advisory lock turns away other programs (root passes
    // TIOCEXCL, not the lock), TIOCEXCL turns away those that do not take the lock.
    if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        close(fd);
        return kOpenDeviceFailed;
    }
    fd_ = fd;

    if (tcgetattr(fd_, &line_) != 0) return kOpenGetFailed;
    const auto line = ParseBuildString(FormatBuildString(settings));
    termios wanted = line_;
    if (!line || !ApplyLineSettings(*line, wanted)) return kOpenRefused;
    if (tcsetattr(fd_, TCSANOW, &wanted) != 0) return kOpenSetFailed;
    line_ = wanted;
    baud_ = line->baud;
    return kOpenOk;
}

int SerialPort::Close() {
    if (fd_ >= 0) {
        // On a pseudo-terminal the exclusive flag outlives our descriptor while the other
        // side stays open, so clear it or the next open by an unprivileged user fails.
        ioctl(fd_, TIOCNXCL);
        close(fd_);  // also ends the advisory lock
        fd_ = -1;
    }
    return 0;
}

int SerialPort::Read(std::uint8_t* buffer, std::size_t count, bool forced) {
    if (!forced && (dialing_ || hangingUp_)) return kTransferRefused;
    if (fd_ < 0) return kTransferShort;
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = read(fd_, buffer + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done == count ? kTransferAll : kTransferShort;
}

int SerialPort::Write(const std::uint8_t* buffer, std::size_t count, bool forced) {
    if (!forced && (dialing_ || hangingUp_)) return kTransferRefused;
    if (fd_ < 0) return kTransferShort;
    Purge();
    // Twice the line time of the bytes plus a second before a stuck line is given up.
    const long baud = baud_ > 0 ? baud_ : 9600;
    const auto lineTime = std::chrono::milliseconds(static_cast<long long>(count) * 10000 / baud);
    const auto deadline = Clock::now() + 2 * lineTime + std::chrono::seconds(1);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = write(fd_, buffer + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) break;
        const int left = MillisecondsUntil(deadline);
        if (left == 0) break;
        pollfd p{fd_, POLLOUT, 0};
        poll(&p, 1, left);
    }
    return done == count ? kTransferAll : kTransferShort;
}

std::size_t SerialPort::BytesWaiting() {
    if (fd_ < 0) return 0;
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0) return 0;
    return static_cast<std::size_t>(waiting);
}

void SerialPort::Purge() {
    if (fd_ >= 0) tcflush(fd_, TCIOFLUSH);
}

bool SerialPort::WaitReadable(int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    if (fd_ < 0) {
        std::this_thread::sleep_until(deadline);
        return false;
    }
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int r = poll(&p, 1, MillisecondsUntil(deadline));
        if (r > 0 && (p.revents & POLLIN) != 0) return true;
        if (r < 0 && errno == EINTR) continue;
        // A hung-up or failed line reports at once without data; keep the wait as long as
        // asked, so that a time-out counted in waits stays a time-out in milliseconds.
        if (r != 0) std::this_thread::sleep_until(deadline);
        return false;
    }
}

int SerialPort::SetModemLine(int bit, bool on) {
    if (fd_ < 0) return 1;
    return ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0 ? 0 : 1;
}

int SerialPort::SetDtr(bool on) {
    return SetModemLine(TIOCM_DTR, on);
}
int SerialPort::SetRts(bool on) {
    return SetModemLine(TIOCM_RTS, on);
}

}  // namespace ducta
