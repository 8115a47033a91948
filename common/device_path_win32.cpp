#include "device_path.h"

namespace common {

std::string DefaultDevicePath(long com) {
    return "\\\\.\\COM" + std::to_string(com);
}

}  // namespace common
