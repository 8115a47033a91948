// Where COM<N> lives on this machine: the device library opens it, and the gateway names it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace common {

// The device path of COM`com`: the value of key COM<N> in section Ports of `configFile`
// (DUCTA.INI), or the platform's own name for the port when there is no such key. Nothing for
// a COM number below 1, and nothing for a key written with an empty value: that is a mistake in
// the file, and falling back would open (and set up) a real serial port of the machine.
std::optional<std::string> DevicePathForCom(const std::filesystem::path& configFile, long com);

// The platform's own name of COM`com` (1 and up): /dev/ttyS<N-1> on Linux, \\.\COM<N> on
// Windows (the form that also reaches ports above 9).
std::string DefaultDevicePath(long com);

}  // namespace common
