// The body of every shipped language library: the two exports over the tables that the build
// generates from the language's text file (included as LANGUAGE_TABLE).
#include "language_library.h"

#include <cstring>

namespace {

struct TextEntry {
    const char* key;
    const char* text;
};

struct NumberedEntry {
    unsigned number;
    const char* text;
};

#include LANGUAGE_TABLE

}  // namespace

extern "C" VR620_LANGUAGE_EXPORT const char* LoadResourceString(const char* key,
                                                                std::uint32_t* /*context*/) {
    if (key == nullptr) return nullptr;
    for (const TextEntry& entry : kTexts) {
        if (std::strcmp(entry.key, key) == 0) return entry.text;
    }
    return nullptr;
}

extern "C" VR620_LANGUAGE_EXPORT int LoadNumberedString(unsigned number, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    buffer[0] = '\0';
    for (const NumberedEntry& entry : kNumberedTexts) {
        if (entry.number != number) continue;
        std::size_t length = std::strlen(entry.text);
        if (length > static_cast<std::size_t>(size - 1))
            length = static_cast<std::size_t>(size - 1);
        std::memcpy(buffer, entry.text, length);
        buffer[length] = '\0';
        return static_cast<int>(length);
    }
    return 0;
}
