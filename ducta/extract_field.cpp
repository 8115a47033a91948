#include "extract_field.h"

namespace ducta {

std::optional<std::string> ExtractField(char separator, int n, const char* text) {
    if (text == nullptr || *text == '\0' || n < 0) return std::nullopt;
    const bool quotesGroup = separator != '"';
    int field = 0;
    bool quoted = false;
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        if (quotesGroup && quoted && p[0] == '\\' && p[1] == '"') {
            if (field == n) out.append(p, 2);
            ++p;
            continue;
        }
        if (quotesGroup && *p == '"') quoted = !quoted;
        if (*p == separator && !quoted) {
            if (field == n) return out;
            ++field;
            continue;
        }
        if (field == n) out.push_back(*p);
    }
    if (field == n) return out;
    return std::nullopt;
}

}  // namespace ducta
