#include <windows.h>

#include <cstdio>
#include <string>

#include "debug_line.h"

namespace common {

void WriteDebugLine(std::string_view text) {
    const DWORD savedError = GetLastError();
    std::string line(text);
    line.push_back('\n');
    // A debugger shows the first; a console or a service's log file the second.
    OutputDebugStringA(line.c_str());
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    SetLastError(savedError);
}

}  // namespace common
