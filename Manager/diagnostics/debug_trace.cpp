#include "debug_trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "debug_line.h"
#include "system_error.h"

namespace diagnostics {

const char* FileNameOf(const char* path) {
    if (path == nullptr) return "";
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\') name = p + 1;
    }
    return name;
}

void DebugTrace(const char* file, int line, const char* format, ...) {
    // A trace must not disturb the error code that the caller may still report.
    const int savedError = common::LastSystemError();
    char head[512];
    std::snprintf(head, sizeof head, "%s @ %d -> ", FileNameOf(file), line);
    std::string text = head;

    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length > 0) {
        const std::size_t start = text.size();
        text.resize(start + static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data() + start, static_cast<std::size_t>(length) + 1, format, args);
        text.resize(start + static_cast<std::size_t>(length));
    }
    va_end(args);

    common::WriteDebugLine(text);
    common::SetLastSystemError(savedError);
}

}  // namespace diagnostics
