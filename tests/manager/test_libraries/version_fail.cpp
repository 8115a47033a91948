// A version library that writes a text and then reports failure.
#include <cstring>

extern "C" __attribute__((visibility("default"))) int GetVersionInfo(char* buffer, int size) {
    if (size >= 8) std::memcpy(buffer, "9.9.9.9", 8);
    return 1;
}
