// DUCTA.INI, the library's own settings file beside the library: line speeds, reply time-outs,
// the modem connection time-out and the pause between modem commands. Read at every open.
#pragma once

#include <filesystem>

#include "channel_settings.h"

namespace ducta {

inline constexpr int kDefaultModemBaud = 9600;
inline constexpr int kDefaultConnTimeOutS = 30;
inline constexpr int kMinConnTimeOutS = 10;
inline constexpr int kDefaultModemPollMs = 1000;
inline constexpr int kMinModemPollMs = 750;
inline constexpr int kDefaultCommandDelayMs = 250;
inline constexpr int kDefaultDirectBaud = 4800;
inline constexpr int kDefaultDirectPollMs = 500;
inline constexpr int kMinDirectPollMs = 250;
inline constexpr int kDefaultDevStart = 0;
inline constexpr int kDefaultDevEnd = 31;
inline constexpr int kDefaultTraceMaxSizeMb = 100;
inline constexpr int kMinTraceMaxSizeMb = 1;

// DUCTA.INI in the folder of the file that holds this library's code; empty when that file
// cannot be found.
std::filesystem::path LibraryConfigPath();

// The settings of a channel in `modem` (or direct) mode with the file's values: the keys of
// the mode (section Modem or Direct) and of section Init with their defaults and lower bounds.
// A negative BaudRate counts as the default, a negative CommandDelay as 0; the modem-only
// values stay 0 in direct mode. Section Trace gives the capture file (a relative path is taken
// from the folder of `file`) and its MaxSize. The caller adds the port, the texts and the
// assume flag.
ChannelSettings ReadChannelConfig(const std::filesystem::path& file, bool modem);

}  // namespace ducta
