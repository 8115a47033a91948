// The simulator's end of the serial line: the master side of a pseudo-terminal it creates, or
// a serial device given by path.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "outcome.h"

namespace sim {

class LineEndpoint {
  public:
    // Creates a pseudo-terminal whose far end is raw (bytes pass unchanged). The far end stays
    // open here too, so the library may close and reopen it at will.
    static common::Outcome<std::unique_ptr<LineEndpoint>> CreatePty();
    // Opens a serial device, raw, 8 data bits, no parity, at `baud` when termios knows it.
    static common::Outcome<std::unique_ptr<LineEndpoint>> OpenDevice(const std::string& path,
                                                                     int baud);
    ~LineEndpoint();
    LineEndpoint(const LineEndpoint&) = delete;
    LineEndpoint& operator=(const LineEndpoint&) = delete;

    // The path the other side opens.
    const std::string& Path() const { return path_; }

    // Keeps a symbolic link `link` -> the line (a stable name for DUCTA.INI) while the line is
    // there; removed again at the end (if it still is ours). Refuses to replace anything that
    // is not a symbolic link.
    common::Outcome<> SetLink(const std::string& link);

    // The line goes as a pulled-out USB serial adapter does: the pseudo-terminal is closed,
    // which hangs the other side up and removes its path, then the link is removed. Nothing
    // for a serial device (--device); false then.
    bool Vanish();
    // A new pseudo-terminal, and the link pointed at it.
    common::Outcome<> Return();
    bool Present() const { return fd_ >= 0; }

    // Waits until `deadline` (none: for ever) for input and reads what is there (0 bytes on
    // time-out or a signal). A line that is gone for the moment (EIO, hang-up, vanished) is
    // waited out.
    std::size_t Read(std::span<std::uint8_t> buffer,
                     std::optional<std::chrono::steady_clock::time_point> deadline);
    // Writes all bytes, waiting a bounded time for room; false when the line would not take them.
    bool Write(std::span<const std::uint8_t> bytes);

  private:
    LineEndpoint(int fd, int keepOpenFd, std::string path);
    void Close();
    void RemoveLink();

    int fd_;
    int keepOpenFd_;  // the far end of our pseudo-terminal, -1 for a serial device
    bool pty_;
    std::string path_;
    std::string link_;
};

}  // namespace sim
