// A language library with message texts but without the text function for components.
#include <cstring>

extern "C" __attribute__((visibility("default"))) int LoadNumberedString(unsigned number,
                                                                         char* buffer, int size) {
    if (number != 10006 || size < 16) return 0;
    std::memcpy(buffer, "Not saved here", 15);
    return 14;
}
