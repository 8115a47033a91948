#include "device_port.h"

#include <ducta.h>

#include "device_path.h"

namespace gateway {

std::optional<std::string> DevicePathOfCom(int com) {
    // Any export names the library's own file, wherever it was loaded from.
    return common::DevicePathForCom(
        common::LibraryConfigFile(reinterpret_cast<const void*>(&DCT_Open)), com);
}

}  // namespace gateway
