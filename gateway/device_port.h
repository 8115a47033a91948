// Where the device library finds the device of a COM number, so that the gateway can name it:
// DUCTA.INI beside the library this program loaded, read by the same code the library uses.
#pragma once

#include <optional>
#include <string>

namespace gateway {

// The device path of COM`com`; nothing when DUCTA.INI maps it to an empty path.
std::optional<std::string> DevicePathOfCom(int com);

}  // namespace gateway
