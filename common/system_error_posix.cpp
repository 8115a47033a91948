#include <cerrno>
#include <cstring>

#include "system_error.h"

namespace common {

int LastSystemError() {
    return errno;
}

void SetLastSystemError(int code) {
    errno = code;
}

std::string SystemErrorText(int code) {
    char buffer[256] = "";
    // The GNU variant returns the text, which need not be the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    if (text == nullptr || *text == '\0') return "error " + std::to_string(code);
    return text;
}

}  // namespace common
