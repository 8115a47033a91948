// The simulator's end of the serial line: the master side of a pseudo-terminal it creates, or
// a serial device given by path.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace sim {

class LineEndpoint {
  public:
    // Creates a pseudo-terminal whose far end is raw (bytes pass unchanged). The far end stays
    // open here too, so the library may close and reopen it at will.
    static std::unique_ptr<LineEndpoint> CreatePty(std::string& error);
    // Opens a serial device, raw, 8 data bits, no parity, at `baud` when termios knows it.
    static std::unique_ptr<LineEndpoint> OpenDevice(const std::string& path, int baud,
                                                    std::string& error);
    ~LineEndpoint();
    LineEndpoint(const LineEndpoint&) = delete;
    LineEndpoint& operator=(const LineEndpoint&) = delete;

    // The path the other side opens.
    const std::string& Path() const { return path_; }

    // Waits up to `timeout` for input and reads what is there (0 bytes on time-out or
    // interruption). A line that is gone for the moment (EIO, hang-up) is waited out.
    std::size_t Read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout);
    // Writes all bytes, waiting a bounded time for room; false when the line would not take them.
    bool Write(std::span<const std::uint8_t> bytes);

  private:
    LineEndpoint(int fd, int keepOpenFd, std::string path);

    int fd_;
    int keepOpenFd_;
    std::string path_;
};

// A symbolic link to the line, removed again when the simulator ends (if it still is ours).
class LineLink {
  public:
    LineLink() = default;
    ~LineLink();
    LineLink(const LineLink&) = delete;
    LineLink& operator=(const LineLink&) = delete;

    // Creates or replaces the symbolic link `link` -> `target`; refuses to replace anything
    // that is not a symbolic link.
    bool Create(const std::string& link, const std::string& target, std::string& error);

  private:
    std::string link_;
    std::string target_;
};

}  // namespace sim
