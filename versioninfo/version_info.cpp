#include "version_info.h"

#include <cstring>

#ifndef VR620_VERSION
#error "VR620_VERSION must name the project's version"
#endif

extern "C" VR620_VERSION_INFO_EXPORT int GetVersionInfo(char* buffer, int size) {
    static constexpr char kVersion[] = VR620_VERSION;
    if (buffer == nullptr || size < static_cast<int>(sizeof kVersion)) return 1;
    std::memcpy(buffer, kVersion, sizeof kVersion);
    return 0;
}
