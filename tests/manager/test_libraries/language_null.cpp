// A language library that has no text for any key, but serves two message texts; one of them
// fills the manager's whole buffer.
#include <cstdint>
#include <cstring>

extern "C" __attribute__((visibility("default"))) const char* LoadResourceString(
    const char* /*key*/, std::uint32_t* /*context*/) {
    return nullptr;
}

extern "C" __attribute__((visibility("default"))) int LoadNumberedString(unsigned number,
                                                                         char* buffer, int size) {
    if (size <= 0) return 0;
    if (number == 10002) {
        std::memcpy(buffer, "Kysymys", 8);
        return 7;
    }
    if (number == 10003) {
        // Longer than any buffer: as much as fits.
        std::memset(buffer, 'x', static_cast<std::size_t>(size - 1));
        buffer[size - 1] = '\0';
        return size - 1;
    }
    buffer[0] = '\0';
    return 0;
}
