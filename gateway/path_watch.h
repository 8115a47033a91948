// Watches one path for the serving loop, so that a device that vanishes (a USB adapter pulled
// out: its node, or the link naming it, removed) is noticed at once rather than at the next
// request: a descriptor that the loop polls with its sockets becomes readable when an entry of
// that name is made or removed in the path's folder. inotify on Linux; on Windows, where the
// loop waits on sockets only, it watches nothing and the next request tells.
#pragma once

#include <string>

namespace gateway {

class PathWatch {
  public:
    PathWatch() = default;
    ~PathWatch();
    PathWatch(const PathWatch&) = delete;
    PathWatch& operator=(const PathWatch&) = delete;

    // Watches `path` from now on (an empty path: nothing). False when it cannot be watched; the
    // requests still find out.
    bool Watch(const std::string& path);
    // What the loop polls for readability; -1 (no descriptor) while nothing is watched.
    int Handle() const { return handle_; }
    // The loop, once Handle() is readable: takes the events and tells whether any of them
    // concerned the path (then look whether it is there).
    bool TakeEvents();

  private:
    void Stop();

    int handle_ = -1;
    std::string name_;  // the path's last part, as the folder's events name it
};

}  // namespace gateway
