// Where COM<N> lives on this machine.
#pragma once

#include <filesystem>
#include <string>

namespace ducta {

// The device path of COM`com`: the value of key COM<N> in section Ports of `configFile` when it
// is present and not empty, otherwise /dev/ttyS<N-1>. Empty for a COM number below 1.
std::string DevicePathForCom(const std::filesystem::path& configFile, long com);

}  // namespace ducta
