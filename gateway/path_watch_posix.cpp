#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "path_watch.h"

namespace gateway {

PathWatch::~PathWatch() {
    Stop();
}

void PathWatch::Stop() {
    if (handle_ >= 0) close(handle_);  // ends its watch too
    handle_ = -1;
    name_.clear();
}

bool PathWatch::Watch(const std::string& path) {
    Stop();
    if (path.empty()) return true;
    const std::filesystem::path p(path);
    std::filesystem::path folder = p.parent_path();
    if (folder.empty()) folder = ".";
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return false;
    // Entries made, removed or renamed; the folder itself going away ends the watch.
    const std::uint32_t events =
        IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
    if (inotify_add_watch(fd, folder.c_str(), events) < 0) {
        close(fd);
        return false;
    }
    handle_ = fd;
    name_ = p.filename().string();
    return true;
}

bool PathWatch::TakeEvents() {
    if (handle_ < 0) return false;
    bool concerned = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = read(handle_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof event;
            const bool named = event.len > 0 && name_ == name;
            // An overflow or the folder gone may hide the path's own events.
            if (named ||
                (event.mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0)
                concerned = true;
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
    return concerned;
}

}  // namespace gateway
