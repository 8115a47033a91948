#include "line_endpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include "line_record.h"
#include "sim_signals.h"

namespace sim {

namespace {

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

common::Failure Trouble(std::string words) {
    return {common::FailureKind::kOther, std::move(words)};
}

bool SetNonBlockingCloexec(int fd) {
    const int fl = fcntl(fd, F_GETFL);
    return fl >= 0 && fcntl(fd, F_SETFL, fl | O_NONBLOCK) == 0 &&
           fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;
};

// A raw pseudo-terminal: the master for us, the far end kept open as well, so that the other
// side may close and reopen it at will without hanging our end up.
common::Outcome<Pty> OpenPty() {
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        return Trouble(Errno("cannot create a pseudo-terminal"));
    }
    const char* name = ttyname(slave);
    termios tio{};
    bool ok = name != nullptr && tcgetattr(slave, &tio) == 0;
    if (ok) {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        ok = tcsetattr(slave, TCSANOW, &tio) == 0 && SetNonBlockingCloexec(master) &&
             fcntl(slave, F_SETFD, FD_CLOEXEC) == 0;
    }
    if (!ok) {
        common::Failure failure = Trouble(Errno("cannot set up the pseudo-terminal"));
        close(master);
        close(slave);
        return failure;
    }
    return Pty{master, slave, name};
}

common::Outcome<> CreateLink(const std::string& link, const std::string& target) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        return Trouble(link + " exists and is not a symbolic link; not replaced");
    }
    // Made beside the link and renamed over it, so the link never points nowhere.
    const std::string tmp = link + ".tmp." + std::to_string(getpid());
    unlink(tmp.c_str());
    if (symlink(target.c_str(), tmp.c_str()) != 0) {
        return Trouble(Errno("cannot create the link " + link));
    }
    if (rename(tmp.c_str(), link.c_str()) != 0) {
        common::Failure failure = Trouble(Errno("cannot create the link " + link));
        unlink(tmp.c_str());
        return failure;
    }
    return common::Done{};
}

}  // namespace

LineEndpoint::LineEndpoint(int fd, int keepOpenFd, std::string path)
    : fd_(fd), keepOpenFd_(keepOpenFd), pty_(keepOpenFd >= 0), path_(std::move(path)) {}

LineEndpoint::~LineEndpoint() {
    RemoveLink();
    Close();
}

void LineEndpoint::Close() {
    if (fd_ >= 0) close(fd_);
    if (keepOpenFd_ >= 0) close(keepOpenFd_);
    fd_ = keepOpenFd_ = -1;
}

common::Outcome<std::unique_ptr<LineEndpoint>> LineEndpoint::CreatePty() {
    auto pty = OpenPty();
    if (!pty.Ok()) return pty.Why();
    Pty& made = pty.Value();
    return std::unique_ptr<LineEndpoint>(
        new LineEndpoint(made.master, made.slave, std::move(made.path)));
}

common::Outcome<std::unique_ptr<LineEndpoint>> LineEndpoint::OpenDevice(const std::string& path,
                                                                        int baud) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Trouble(Errno("cannot open " + path));
    // The words are taken before close(), which may change errno.
    const auto refuse = [fd](common::Failure failure) {
        close(fd);
        return failure;
    };
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return refuse({common::FailureKind::kNotSerial, Errno(path + " is not a serial device")});
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    const auto speed = ducta::TermiosSpeed(baud);
    if (!speed) {
        return refuse(
            Trouble(std::to_string(baud) + " bit/s is not a speed a serial device can be set to"));
    }
    cfsetspeed(&tio, *speed);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) return refuse(Trouble(Errno("cannot set up " + path)));
    return std::unique_ptr<LineEndpoint>(new LineEndpoint(fd, -1, path));
}

std::size_t LineEndpoint::Read(std::span<std::uint8_t> buffer,
                               std::optional<Clock::time_point> deadline) {
    // Nobody on the other end (a hang-up or EIO) is a pause, not a loop that spins.
    const auto pause = [] { Wait(nullptr, 0, Clock::now() + std::chrono::milliseconds(20)); };
    if (fd_ < 0) {
        // Vanished: nothing to wait on but the deadline and the next signal.
        Wait(nullptr, 0, deadline);
        return 0;
    }
    pollfd pfd{fd_, POLLIN, 0};
    if (Wait(&pfd, 1, deadline) <= 0) return 0;
    if ((pfd.revents & POLLIN) == 0) {
        pause();
        return 0;
    }
    const ssize_t n = read(fd_, buffer.data(), buffer.size());
    if (n > 0) return static_cast<std::size_t>(n);
    if (n < 0 && errno == EIO) pause();
    return 0;
}

bool LineEndpoint::Write(std::span<const std::uint8_t> bytes) {
    constexpr std::chrono::seconds kRoomWait{1};
    if (fd_ < 0) return false;
    while (!bytes.empty()) {
        const ssize_t n = write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd pfd{fd_, POLLOUT, 0};
            if (Wait(&pfd, 1, Clock::now() + kRoomWait) > 0 && (pfd.revents & POLLOUT) != 0) {
                continue;
            }
        }
        return false;
    }
    return true;
}

common::Outcome<> LineEndpoint::SetLink(const std::string& link) {
    auto made = CreateLink(link, path_);
    if (made.Ok()) link_ = link;
    return made;
}

void LineEndpoint::RemoveLink() {
    if (link_.empty()) return;
    std::array<char, 4096> buf{};
    const ssize_t n = readlink(link_.c_str(), buf.data(), buf.size() - 1);
    if (n >= 0 && path_ == std::string(buf.data(), static_cast<std::size_t>(n))) {
        unlink(link_.c_str());
    }
}

bool LineEndpoint::Vanish() {
    if (!pty_ || fd_ < 0) return false;
    // The kernel hangs the line up first; the name goes after (as udev removes a by-id link).
    Close();
    RemoveLink();
    return true;
}

common::Outcome<> LineEndpoint::Return() {
    if (!pty_ || fd_ >= 0) return common::Done{};
    auto pty = OpenPty();
    if (!pty.Ok()) return pty.Why();
    fd_ = pty.Value().master;
    keepOpenFd_ = pty.Value().slave;
    path_ = std::move(pty.Value().path);
    if (link_.empty()) return common::Done{};
    return CreateLink(link_, path_);
}

}  // namespace sim
