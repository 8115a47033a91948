// The module object behind the exports: the one port, the reply time-out, and the settings of
// the current (or last) channel, which decide how the channel is opened and closed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "serial_port.h"

namespace ducta {

inline constexpr std::size_t kModemTextSize = 128;  // 127 characters and the NUL

enum class ChannelMode : std::int32_t { kDirect = 0, kModem = 1 };

struct ChannelSettings {
    ChannelMode mode = ChannelMode::kDirect;
    std::int32_t comNumber = 0;
    std::int32_t baudRate = 0;
    char initString[kModemTextSize] = {};
    char dialString[kModemTextSize] = {};
    char hangupString[kModemTextSize] = {};
    std::int32_t connTimeOutS = 0;
    std::int32_t pollTimeOutMs = 0;
    std::int32_t commandDelayMs = 0;
    std::int32_t devStart = 0;
    std::int32_t devEnd = 0;
    std::uint8_t assumeConnected = 0;
};

// Copies `text` into a modem text field, cut at 127 characters.
void CopyModemText(char (&field)[kModemTextSize], const char* text);

class DctModule {
  public:
    static constexpr int kOpenOk = 0;
    static constexpr int kOpenPortFailed = 3;
    static constexpr int kOpenModemFailed = 4;
    static constexpr int kInitialPollTimeOutMs = 1000;

    DctModule();

    // Null when the port object could not be created.
    SerialPort* Port() { return port_.get(); }
    int PollTimeOutMs() const { return pollTimeOutMs_; }
    const ChannelSettings& Settings() const { return settings_; }
    // Where the port finds its COM mapping.
    void SetConfigFile(const std::filesystem::path& file);

    // Closes the current channel, then opens the one `settings` describe: 0, 3 or 4.
    int OpenChannel(const ChannelSettings& settings);
    // Direct: closes the port, true. Modem: hangs a connected line up (true when that ended in
    // OK), false when not connected; the port is closed in every case.
    bool CloseChannel();

  private:
    std::unique_ptr<SerialPort> port_;
    int pollTimeOutMs_ = kInitialPollTimeOutMs;
    ChannelSettings settings_{};
};

}  // namespace ducta
