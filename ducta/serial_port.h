// The library's one port object: opens a serial device exclusively with typed line settings,
// restores the settings it found when it closes, waits for input on one deadline, writes whole
// frames or fails, discards queues and drives DTR and RTS. A line that hangs up (an adapter
// pulled out) is marked lost and closed; where the channel allows it, the next transfer opens
// the same path again with the same settings. Used from the caller's thread only.
//
// What both platforms share lives in serial_port.cpp; the device itself (a termios descriptor
// or a Win32 handle) in serial_port_posix.cpp and serial_port_win32.cpp.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "debug_output.h"
#include "line_capture.h"
#include "line_settings.h"
#include "status.h"

namespace ducta {

class SerialPort {
  public:
    using Clock = std::chrono::steady_clock;

    explicit SerialPort(DebugOutput& debug) : debug_(debug) {}
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Closes an open port, then opens `path` exclusively and sets the line up. With
    // `reopenWhenLost` a port that hangs up is opened again by the next Ready(); without, it
    // stays lost until the next Open (a modem line is never redialled behind the caller's
    // back). kOk, kCannotOpen, kNotATerminal, kInUse, kCannotReadLine, kSpeedRefused or
    // kCannotSetLine; every failure is told on the debug output.
    Status Open(const std::string& path, const LineSettings& line, bool reopenWhenLost);
    // Puts back the line settings found at open and closes. Harmless on a closed port.
    void Close();
    // True from a successful Open until Close, also while the port is lost.
    bool IsOpen() const { return open_; }

    // Notices a hang-up at once and opens a lost port again where that is allowed. kOk,
    // kNotOpen, kPortLost (lost, not reopened) or kReopenFailed; never waits.
    Status Ready();
    // Reads what has arrived, at most buffer.size() bytes, waiting until bytes come or
    // `deadline` passes. kOk (received > 0), kTimeout, kNotOpen, kPortLost or kReadFailed; a
    // hang-up ends the wait at once.
    Status ReadSome(std::span<std::uint8_t> buffer, std::size_t& received,
                    Clock::time_point deadline);
    // Ready(), discards both queues, then writes every byte; a line that takes no more is given
    // up after twice the line time of the bytes plus a second. kOk, the failures of Ready(),
    // kPortLost, kWriteFailed or kWriteIncomplete.
    Status Write(std::span<const std::uint8_t> bytes);
    void Purge();

    // 0 success, 1 failure (a pseudo-terminal has no modem lines).
    int SetDtr(bool on);
    int SetRts(bool on);

    // The time `bytes` bytes take on the line at its speed, 10 bits each.
    Clock::duration LineTime(std::size_t bytes) const;
    // One line on the debug output, the device path in front, and the words of the system's
    // error code `error` behind when it is not 0 (which LastError() then tells).
    void Report(std::string_view text, int error = 0);
    // The system's code of the failure of the last Open, Ready, ReadSome or Write (Write
    // begins with Ready), 0 when it succeeded or failed without one: what the library leaves
    // as the caller's last error.
    int LastError() const { return lastError_; }

    // Every chunk that Write() sends and ReadSome() receives goes to `capture` (null: none), as
    // the kind of bytes the line carries at the time (the device's frames unless the modem
    // control says otherwise, through CapturedAs).
    void SetCapture(LineCapture* capture) { capture_ = capture; }

  private:
    // The open device of the platform: its descriptor or handle, and the line found at open.
    struct Device;
    struct DeviceDeleter {
        void operator()(Device* device) const;
    };

    // How a transfer on the device ended.
    struct Transfer {
        enum class End { kDone, kTimeout, kLost, kFailed };
        End end = End::kDone;
        const char* what = "";  // what saw the line go: "read", "write" or "hang-up"
        int error = 0;          // the system's error code, 0 when there is none
    };

    // The platform's part.
    // Opens path_ with line_ into device_; on failure the system's error code in `error`.
    Status OpenDevice(int& error);
    // Closes device_; `restore` puts the line found at open back first (a lost line has none).
    void CloseDevice(bool restore);
    // Whether the line has gone, with the system's error code when one told it.
    bool DeviceHungUp(int& error);
    Transfer ReadDevice(std::span<std::uint8_t> buffer, std::size_t& received,
                        Clock::time_point deadline);
    Transfer WriteDevice(std::span<const std::uint8_t> bytes, std::size_t& sent,
                         Clock::time_point deadline);

    // The words for a failed open.
    std::string Why(Status s) const;
    void MarkLost(std::string_view why, int error);

    friend class CapturedAs;

    DebugOutput& debug_;
    LineCapture* capture_ = nullptr;
    LineCapture::Kind captureKind_ = LineCapture::Kind::kDeviceBytes;
    std::string path_;
    LineSettings line_;
    bool reopenWhenLost_ = false;
    bool open_ = false;
    int lastError_ = 0;
    std::unique_ptr<Device, DeviceDeleter> device_;  // null while closed or lost
};

// While it lives, the bytes that `port` moves are captured as `kind` (the modem's commands and
// results while a modem command runs).
class CapturedAs {
  public:
    CapturedAs(SerialPort& port, LineCapture::Kind kind) : port_(port), before_(port.captureKind_) {
        port.captureKind_ = kind;
    }
    ~CapturedAs() { port_.captureKind_ = before_; }
    CapturedAs(const CapturedAs&) = delete;
    CapturedAs& operator=(const CapturedAs&) = delete;

  private:
    SerialPort& port_;
    LineCapture::Kind before_;
};

}  // namespace ducta
