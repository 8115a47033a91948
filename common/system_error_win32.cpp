#include <windows.h>

#include "system_error.h"

namespace common {

int LastSystemError() {
    return static_cast<int>(GetLastError());
}

void SetLastSystemError(int code) {
    SetLastError(static_cast<DWORD>(code));
}

std::string SystemErrorText(int code) {
    char buffer[512] = "";
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer,
                       sizeof buffer, nullptr);
    std::string text(buffer, length);
    // The system's texts end in a full stop and a line end; ours are parts of a line.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.'))
        text.pop_back();
    if (text.empty()) return "error " + std::to_string(static_cast<unsigned>(code));
    return text;
}

}  // namespace common
