// What one DCT_Open asks for: the caller's port, mode and modem texts, and the line and timing
// values of DUCTA.INI. The module keeps the settings of the current (or last) channel; they
// decide how it is opened and closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

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
    std::int32_t connTimeOutS = 0;  // modem only
    std::int32_t pollTimeOutMs = 0;
    std::int32_t commandDelayMs = 0;  // modem only
    std::int32_t devStart = 0;
    std::int32_t devEnd = 0;
    std::uint8_t assumeConnected = 0;
    // [Trace]: the capture file of the line (empty: none) and its largest size.
    std::filesystem::path traceFile;
    std::int32_t traceMaxSizeMb = 0;
};

// Copies `text` into a modem text field, cut at 127 characters; null gives the empty text.
void CopyModemText(char (&field)[kModemTextSize], const char* text);

}  // namespace ducta
