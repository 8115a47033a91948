// Where COM<N> lives on this machine: the device library opens it, and the gateway names it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace common {

// DUCTA.INI, the device library's settings file, in the folder of the file that holds
// `libraryCode` (the address of one of the library's functions: the library's own file,
// wherever it was loaded from); empty when the system cannot say which file that is.
std::filesystem::path LibraryConfigFile(const void* libraryCode);

// The device path of COM`com`: the value of key COM<N> in section Ports of `configFile`
// (DUCTA.INI), or the platform's own name for the port when there is no such key. Nothing for
// a COM number below 1, and nothing for a key written with an empty value: that is a mistake in
// the file, and falling back would open (and set up) a real serial port of the machine.
std::optional<std::string> DevicePathForCom(const std::filesystem::path& configFile, long com);

// The platform's own name of COM`com` (1 and up): /dev/ttyS<N-1> on Linux, \\.\COM<N> on
// Windows (the form that also reaches ports above 9).
std::string DefaultDevicePath(long com);

}  // namespace common
