// A version library that reports 1.2.3.4.
#include <cstring>

extern "C" __attribute__((visibility("default"))) int GetVersionInfo(char* buffer, int size) {
    if (size < 8) return 1;
    std::memcpy(buffer, "1.2.3.4", 8);
    return 0;
}
