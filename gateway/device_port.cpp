#include "device_port.h"

#include <ducta.h>

#include "device_path.h"
#include "module_file.h"

namespace gateway {

std::filesystem::path LibraryConfigFile() {
    // Any export names the library's own file, wherever it was loaded from.
    const std::filesystem::path library =
        common::ModuleFileOf(reinterpret_cast<const void*>(&DCT_Open));
    if (library.empty()) return {};
    return library.parent_path() / "DUCTA.INI";
}

std::optional<std::string> DevicePathOfCom(int com) {
    return common::DevicePathForCom(LibraryConfigFile(), com);
}

}  // namespace gateway
