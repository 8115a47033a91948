// The library's one port object: opens COM<N> from a settings text ("1,9600,n,8,1"), moves raw
// bytes, reports waiting input, discards queues, drives DTR and RTS, and carries the state the
// modem control needs. Used from the caller's thread only.
#pragma once

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace ducta {

enum class ModemResult : int;

class SerialPort {
  public:
    // Open results.
    static constexpr int kOpenOk = 0;
    static constexpr int kOpenDeviceFailed = 1;  // missing, not a terminal, or in use elsewhere
    static constexpr int kOpenGetFailed = 2;     // reading the line settings failed
    static constexpr int kOpenRefused = 3;       // the build string or the speed was refused
    static constexpr int kOpenSetFailed = 4;     // writing the line settings failed

    // Transfer results.
    static constexpr int kTransferAll = 0;
    static constexpr int kTransferShort = 1;
    static constexpr int kTransferRefused = 2;

    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // The file whose section Ports maps COM numbers to device paths (may be empty).
    void SetConfigFile(std::filesystem::path file) { configFile_ = std::move(file); }

    // Opens the port the text names. After a failure past the device open the descriptor stays
    // open (IsOpen() is true) and the caller's Close() ends it.
    int Open(const char* settingsText);
    int Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Reads never wait for data: the callers read only what BytesWaiting() reported.
    int Read(std::uint8_t* buffer, std::size_t count, bool forced);
    // Discards both queues, then writes; a line that takes no bytes is given up after a bound
    // derived from the line speed.
    int Write(const std::uint8_t* buffer, std::size_t count, bool forced);
    std::size_t BytesWaiting();
    void Purge();
    // True when input arrived within `ms`; otherwise waits the whole time and answers false.
    bool WaitReadable(int ms);

    // 0 success, 1 failure (a pseudo-terminal has no modem lines).
    int SetDtr(bool on);
    int SetRts(bool on);

    bool IsConnected() const { return connected_; }
    void SetConnected(bool connected) { connected_ = connected; }
    bool Dialing() const { return dialing_; }
    bool HangingUp() const { return hangingUp_; }
    void SetCommandDelay(int ms) { commandDelay_ = ms < 0 ? 0 : ms; }
    int CommandDelay() const { return commandDelay_; }

    const std::string& SettingsText() const { return settingsText_; }
    const std::string& DevicePath() const { return devicePath_; }
    // The line settings last applied (a pseudo-terminal keeps only some of them).
    const termios& AppliedLine() const { return line_; }

    // Modem control (modem_control.cpp).
    ModemResult SendCommand(const char* command, std::span<char> reply, int timeoutSeconds);
    int InitAndDial(char* initList, const char* dialCommand, int connectTimeoutSeconds);
    int HangUp(char* hangupList, int timeoutSeconds);

  private:
    int RunCommandList(char* list, int lastEntryTimeoutSeconds);
    void PauseCommandDelay() const;
    int SetModemLine(int bit, bool on);

    int fd_ = -1;
    termios line_{};
    long baud_ = 9600;
    std::filesystem::path configFile_;
    std::string settingsText_;
    std::string devicePath_;
    bool connected_ = false;
    bool dialing_ = false;
    bool hangingUp_ = false;
    int commandDelay_ = 1;
};

}  // namespace ducta
