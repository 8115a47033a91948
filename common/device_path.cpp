#include "device_path.h"

#include "module_file.h"
#include "profile_file.h"

namespace common {

std::filesystem::path LibraryConfigFile(const void* libraryCode) {
    const std::filesystem::path library = ModuleFileOf(libraryCode);
    if (library.empty()) return {};
    return library.parent_path() / "DUCTA.INI";
}

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
