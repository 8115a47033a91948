// The port on a termios device: a non-blocking descriptor, exclusive by TIOCEXCL and an advisory
// lock, waited on with poll.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "deadline.h"
#include "line_record.h"
#include "port_failure.h"
#include "serial_port.h"

namespace ducta {

struct SerialPort::Device {
    int fd = -1;
    termios found{};  // the line as it was before we set it up
};

void SerialPort::DeviceDeleter::operator()(Device* device) const {
    delete device;
}

namespace {

constexpr short kHangUpEvents = POLLHUP | POLLERR | POLLNVAL;

}  // namespace

Status SerialPort::OpenDevice(int& error) {
    // Non-blocking from the start: a terminal without carrier would otherwise hold the open,
    // and a line that stops taking bytes would hold a write. Every wait is bounded by poll().
    const int fd = open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return error == EBUSY ? Status::kInUse : Status::kCannotOpen;
    }
    const auto fail = [fd, &error](Status s, int why) {
        close(fd);
        error = why;
        return s;
    };
    if (!isatty(fd)) return fail(Status::kNotATerminal, errno);
    // One user of a port at a time: the advisory lock turns away other programs (root passes
    // TIOCEXCL, not the lock), TIOCEXCL turns away those that do not take the lock.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(Status::kInUse, errno);
    termios found{};
    if (tcgetattr(fd, &found) != 0) return fail(Status::kCannotReadLine, errno);
    termios wanted = found;
    if (!ApplyLineSettings(line_, wanted)) return fail(Status::kSpeedRefused, 0);
    if (tcsetattr(fd, TCSANOW, &wanted) != 0) return fail(Status::kCannotSetLine, errno);
    if (ioctl(fd, TIOCEXCL) != 0) {
        const int why = errno;
        tcsetattr(fd, TCSANOW, &found);
        return fail(Status::kCannotOpen, why);
    }
    device_.reset(new Device{fd, found});
    return Status::kOk;
}

void SerialPort::CloseDevice(bool restore) {
    if (restore) {
        tcsetattr(device_->fd, TCSANOW, &device_->found);
        // On a pseudo-terminal the exclusive flag outlives our descriptor while the other
        // side stays open, so clear it or the next open by an unprivileged user fails.
        ioctl(device_->fd, TIOCNXCL);
    }
    close(device_->fd);  // also ends the advisory lock
    device_.reset();
}

bool SerialPort::DeviceHungUp(int& error) {
    error = 0;
    pollfd p{device_->fd, 0, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & kHangUpEvents) != 0;
}

SerialPort::Transfer SerialPort::ReadDevice(std::span<std::uint8_t> buffer, std::size_t& received,
                                            Clock::time_point deadline) {
    const int fd = device_->fd;
    bool hangUpSeen = false;
    for (;;) {
        const ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return {};
        }
        // With VMIN 1 a read without data is EAGAIN; 0 bytes is the end of the line.
        if (n == 0) return {Transfer::End::kLost, "hang-up", 0};
        const int error = errno;
        if (error == EINTR) continue;
        if (common::IsDeviceGone(error)) return {Transfer::End::kLost, "read", error};
        if (error == EAGAIN && hangUpSeen) return {Transfer::End::kLost, "hang-up", 0};
        if (error != EAGAIN) return {Transfer::End::kFailed, "read", error};
        const int left = common::MillisecondsUntil(deadline);
        if (left == 0) return {Transfer::End::kTimeout};
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, left);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return {Transfer::End::kFailed, "read", errno};
        if (r == 0) return {Transfer::End::kTimeout};
        hangUpSeen = (p.revents & kHangUpEvents) != 0;
    }
}

SerialPort::Transfer SerialPort::WriteDevice(std::span<const std::uint8_t> bytes, std::size_t& sent,
                                             Clock::time_point deadline) {
    const int fd = device_->fd;
    while (sent < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        const int error = n < 0 ? errno : EAGAIN;
        if (error == EINTR) continue;
        if (common::IsDeviceGone(error)) return {Transfer::End::kLost, "write", error};
        if (error != EAGAIN) return {Transfer::End::kFailed, "write", error};
        const int left = common::MillisecondsUntil(deadline);
        pollfd p{fd, POLLOUT, 0};
        const int r = left == 0 ? 0 : poll(&p, 1, left);
        if (r < 0 && errno == EINTR) continue;
        if (r > 0 && (p.revents & kHangUpEvents) != 0) return {Transfer::End::kLost, "hang-up", 0};
        if (r <= 0) return {Transfer::End::kTimeout};
    }
    return {};
}

void SerialPort::Purge() {
    if (device_) tcflush(device_->fd, TCIOFLUSH);
}

namespace {

int SetModemLine(int fd, int bit, bool on) {
    return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0 ? 0 : 1;
}

}  // namespace

int SerialPort::SetDtr(bool on) {
    return device_ ? SetModemLine(device_->fd, TIOCM_DTR, on) : 1;
}

int SerialPort::SetRts(bool on) {
    return device_ ? SetModemLine(device_->fd, TIOCM_RTS, on) : 1;
}

}  // namespace ducta
