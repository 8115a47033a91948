#include "device_path.h"

#include "profile_file.h"

namespace ducta {

std::string DevicePathForCom(const std::filesystem::path& configFile, long com) {
    if (com < 1) return {};
    const std::string key = "COM" + std::to_string(com);
    std::string mapped;
    if (!configFile.empty()) mapped = profile::ReadString(configFile, "Ports", key, "", 4096);
    if (!mapped.empty()) return mapped;
    return "/dev/ttyS" + std::to_string(com - 1);
}

}  // namespace ducta
