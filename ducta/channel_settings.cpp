#include "channel_settings.h"

#include <cstring>

namespace ducta {

void CopyModemText(char (&field)[kModemTextSize], const char* text) {
    std::memset(field, 0, kModemTextSize);
    if (text == nullptr) return;
    std::size_t n = 0;
    while (n < kModemTextSize - 1 && text[n] != '\0') ++n;
    std::memcpy(field, text, n);
}

}  // namespace ducta
