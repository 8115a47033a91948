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
#include <thread>
#include <utility>

#include "termios_line.h"

namespace sim {

namespace {

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool SetNonBlockingCloexec(int fd) {
    const int fl = fcntl(fd, F_GETFL);
    return fl >= 0 && fcntl(fd, F_SETFL, fl | O_NONBLOCK) == 0 &&
           fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

}  // namespace

LineEndpoint::LineEndpoint(int fd, int keepOpenFd, std::string path)
    : fd_(fd), keepOpenFd_(keepOpenFd), path_(std::move(path)) {}

LineEndpoint::~LineEndpoint() {
    close(fd_);
    if (keepOpenFd_ >= 0) close(keepOpenFd_);
}

std::unique_ptr<LineEndpoint> LineEndpoint::CreatePty(std::string& error) {
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        error = Errno("cannot create a pseudo-terminal");
        return nullptr;
    }
    const char* name = ttyname(slave);
    termios tio{};
    if (name == nullptr || tcgetattr(slave, &tio) != 0) {
        error = Errno("cannot set up the pseudo-terminal");
        close(master);
        close(slave);
        return nullptr;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(slave, TCSANOW, &tio) != 0 || !SetNonBlockingCloexec(master) ||
        fcntl(slave, F_SETFD, FD_CLOEXEC) != 0) {
        error = Errno("cannot set up the pseudo-terminal");
        close(master);
        close(slave);
        return nullptr;
    }
    std::string path = name;
    return std::unique_ptr<LineEndpoint>(new LineEndpoint(master, slave, std::move(path)));
}

std::unique_ptr<LineEndpoint> LineEndpoint::OpenDevice(const std::string& path, int baud,
                                                       std::string& error) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = Errno("cannot open " + path);
        return nullptr;
    }
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        error = Errno(path + " is not a serial device");
        close(fd);
        return nullptr;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    const auto speed = ducta::TermiosSpeed(baud);
    if (!speed) {
        error = std::to_string(baud) + " bit/s is not a speed a serial device can be set to";
        close(fd);
        return nullptr;
    }
    cfsetspeed(&tio, *speed);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        error = Errno("cannot set up " + path);
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<LineEndpoint>(new LineEndpoint(fd, -1, path));
}

std::size_t LineEndpoint::Read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) {
    pollfd pfd{fd_, POLLIN, 0};
    const int ready = poll(&pfd, 1, static_cast<int>(timeout.count()));
    if (ready <= 0) return 0;
    if ((pfd.revents & POLLIN) == 0) {
        // Nobody on the other end (POLLHUP): wait a little instead of spinning.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return 0;
    }
    const ssize_t n = read(fd_, buffer.data(), buffer.size());
    if (n > 0) return static_cast<std::size_t>(n);
    if (n < 0 && errno == EIO) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return 0;
}

bool LineEndpoint::Write(std::span<const std::uint8_t> bytes) {
    constexpr int kRoomWaitMs = 1000;
    while (!bytes.empty()) {
        const ssize_t n = write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd pfd{fd_, POLLOUT, 0};
            if (poll(&pfd, 1, kRoomWaitMs) > 0 && (pfd.revents & POLLOUT) != 0) continue;
        }
        return false;
    }
    return true;
}

LineLink::~LineLink() {
    if (link_.empty()) return;
    std::array<char, 4096> buf{};
    const ssize_t n = readlink(link_.c_str(), buf.data(), buf.size() - 1);
    if (n >= 0 && target_ == std::string(buf.data(), static_cast<std::size_t>(n))) {
        unlink(link_.c_str());
    }
}

bool LineLink::Create(const std::string& link, const std::string& target, std::string& error) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = link + " exists and is not a symbolic link; not replaced";
        return false;
    }
    // Made beside the link and renamed over it, so the link never points nowhere.
    const std::string tmp = link + ".tmp." + std::to_string(getpid());
    unlink(tmp.c_str());
    if (symlink(target.c_str(), tmp.c_str()) != 0) {
        error = Errno("cannot create the link " + link);
        return false;
    }
    if (rename(tmp.c_str(), link.c_str()) != 0) {
        error = Errno("cannot create the link " + link);
        unlink(tmp.c_str());
        return false;
    }
    link_ = link;
    target_ = target;
    return true;
}

}  // namespace sim
