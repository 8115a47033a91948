#include "device_path.h"

#include "profile_file.h"

namespace common {

std::optional<std::string> DevicePathForCom(const std::filesystem::path& configFile, long com) {
    if (com < 1) return std::nullopt;
    const std::string key = "COM" + std::to_string(com);
    if (!configFile.empty()) {
        if (auto mapped = profile::Lookup(configFile, "Ports", key)) {
            if (mapped->empty()) return std::nullopt;
            return mapped;
        }
    }
    return DefaultDevicePath(com);
}

}  // namespace common
