// A language library that knows one text only, and a message text.
#include <cstdint>
#include <cstring>

extern "C" __attribute__((visibility("default"))) const char* LoadResourceString(
    const char* key, std::uint32_t* /*context*/) {
    if (std::strcmp(key, "MainForm::BitBtn_Configure->Caption") == 0) return "Configure only";
    return nullptr;
}

extern "C" __attribute__((visibility("default"))) int LoadNumberedString(unsigned number,
                                                                         char* buffer, int size) {
    if (number != 10001 || size < 6) return 0;
    std::memcpy(buffer, "Error", 6);
    return 5;
}
