#include "device_path.h"

namespace common {

std::string DefaultDevicePath(long com) {
    return "/dev/ttyS" + std::to_string(com - 1);
}

}  // namespace common
