#include "serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace ducta {
namespace {

// Errors with which a line that has gone away answers.
bool IsHangUp(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

constexpr short kHangUpEvents = POLLHUP | POLLERR | POLLNVAL;

// The time left until `deadline` for ppoll, zero once it has passed.
timespec TimeUntil(SerialPort::Clock::time_point deadline) {
    const auto left = deadline - SerialPort::Clock::now();
    if (left <= SerialPort::Clock::duration::zero()) return {0, 0};
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

SerialPort::~SerialPort() {
    Close();
}

void SerialPort::Report(std::string_view text, int error) {
    std::string line = path_;
    line.append(": ").append(text);
    if (error != 0)
        debug_.Line(line, error);
    else
        debug_.Line(line);
}

Status SerialPort::Open(const std::string& path, const LineSettings& line, bool reopenWhenLost) {
    Close();
    path_ = path;
    line_ = line;
    reopenWhenLost_ = reopenWhenLost;
    int error = 0;
    const Status s = OpenDevice(error);
    if (s != Status::kOk) {
        Report(Why(s), error);
        return s;
    }
    open_ = true;
    return Status::kOk;
}

std::string SerialPort::Why(Status s) const {
    std::string why = Describe(s);
    if (s == Status::kSpeedRefused) why += " (" + std::to_string(line_.baud) + " bit/s)";
    return why;
}

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
    fd_ = fd;
    found_ = found;
    return Status::kOk;
}

void SerialPort::Close() {
    if (fd_ >= 0) {
        tcsetattr(fd_, TCSANOW, &found_);
        // On a pseudo-terminal the exclusive flag outlives our descriptor while the other
        // side stays open, so clear it or the next open by an unprivileged user fails.
        ioctl(fd_, TIOCNXCL);
        close(fd_);  // also ends the advisory lock
        fd_ = -1;
    }
    open_ = false;
}

void SerialPort::MarkLost(std::string_view why, int error) {
    std::string text = "port lost (";
    text.append(why).append(")");
    Report(text, error);
    // The line is gone: nothing to restore on it.
    close(fd_);
    fd_ = -1;
}

Status SerialPort::Ready() {
    if (!open_) return Status::kNotOpen;
    if (fd_ >= 0) {
        pollfd p{fd_, 0, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & kHangUpEvents) != 0) MarkLost("hang-up", 0);
    }
    if (fd_ >= 0) return Status::kOk;
    if (!reopenWhenLost_) return Status::kPortLost;
    int error = 0;
    const Status s = OpenDevice(error);
    if (s != Status::kOk) {
        Report(std::string(Describe(Status::kReopenFailed)) + ": " + Why(s), error);
        return Status::kReopenFailed;
    }
    Report("reopened");
    return Status::kOk;
}

Status SerialPort::ReadSome(std::span<std::uint8_t> buffer, std::size_t& received,
                            Clock::time_point deadline) {
    received = 0;
    if (!open_) return Status::kNotOpen;
    if (fd_ < 0) return Status::kPortLost;
    if (buffer.empty()) return Status::kOk;
    bool hangUpSeen = false;
    for (;;) {
        const ssize_t n = read(fd_, buffer.data(), buffer.size());
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return Status::kOk;
        }
        // With VMIN 1 a read without data is EAGAIN; 0 bytes is the end of the line.
        if (n == 0) {
            MarkLost("hang-up", 0);
            return Status::kPortLost;
        }
        const int error = n < 0 ? errno : EAGAIN;
        if (error == EINTR) continue;
        if (IsHangUp(error)) {
            MarkLost("read", error);
            return Status::kPortLost;
        }
        if (error == EAGAIN && hangUpSeen) {
            MarkLost("hang-up", 0);
            return Status::kPortLost;
        }
        if (error != EAGAIN) {
            Report(Describe(Status::kReadFailed), error);
            return Status::kReadFailed;
        }
        timespec left = TimeUntil(deadline);
        if (left.tv_sec == 0 && left.tv_nsec == 0) return Status::kTimeout;
        pollfd p{fd_, POLLIN, 0};
        const int r = ppoll(&p, 1, &left, nullptr);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            Report(Describe(Status::kReadFailed), errno);
            return Status::kReadFailed;
        }
        if (r == 0) return Status::kTimeout;
        hangUpSeen = (p.revents & kHangUpEvents) != 0;
    }
}

Status SerialPort::Write(std::span<const std::uint8_t> bytes) {
    if (const Status s = Ready(); s != Status::kOk) return s;
    Purge();
    const auto deadline = Clock::now() + 2 * LineTime(bytes.size()) + std::chrono::seconds(1);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        const int error = n < 0 ? errno : EAGAIN;
        if (error == EINTR) continue;
        if (IsHangUp(error)) {
            MarkLost("write", error);
            return Status::kPortLost;
        }
        if (error != EAGAIN) {
            Report(Describe(Status::kWriteFailed), error);
            return Status::kWriteFailed;
        }
        timespec left = TimeUntil(deadline);
        pollfd p{fd_, POLLOUT, 0};
        const int r = (left.tv_sec == 0 && left.tv_nsec == 0) ? 0 : ppoll(&p, 1, &left, nullptr);
        if (r < 0 && errno == EINTR) continue;
        if (r > 0 && (p.revents & kHangUpEvents) != 0) {
            MarkLost("hang-up", 0);
            return Status::kPortLost;
        }
        if (r <= 0) {
            Report(std::string(Describe(Status::kWriteIncomplete)) + ": " + std::to_string(done) +
                   " of " + std::to_string(bytes.size()) + " bytes went out");
            return Status::kWriteIncomplete;
        }
    }
    return Status::kOk;
}

void SerialPort::Purge() {
    if (fd_ >= 0) tcflush(fd_, TCIOFLUSH);
}

SerialPort::Clock::duration SerialPort::LineTime(std::size_t bytes) const {
    const long long baud = line_.baud > 0 ? line_.baud : 9600;
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(static_cast<long long>(bytes) * 10'000'000'000LL / baud));
}

namespace {

int SetModemLine(int fd, int bit, bool on) {
    if (fd < 0) return 1;
    return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0 ? 0 : 1;
}

}  // namespace

int SerialPort::SetDtr(bool on) {
    return SetModemLine(fd_, TIOCM_DTR, on);
}

int SerialPort::SetRts(bool on) {
    return SetModemLine(fd_, TIOCM_RTS, on);
}

}  // namespace ducta
