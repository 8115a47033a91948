// Where COM<N> lives on this machine.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ducta {

// The device path of COM`com`: the value of key COM<N> in section Ports of `configFile`, or
// /dev/ttyS<N-1> when there is no such key. Nothing for a COM number below 1, and nothing for a
// key written with an empty value: that is a mistake in the file, and falling back would open
// (and set up) a real serial port of the machine.
std::optional<std::string> DevicePathForCom(const std::filesystem::path& configFile, long com);

}  // namespace ducta
