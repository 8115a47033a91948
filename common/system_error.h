// The system's own error codes in words: errno on POSIX, GetLastError() on Windows.
#pragma once

#include <string>

namespace common {

// The code of the calling thread's last failed system call.
int LastSystemError();
// Sets it, so that a function can report why it failed as the system calls do.
void SetLastSystemError(int code);
// The system's words for `code` ("No such file or directory"), never empty.
std::string SystemErrorText(int code);

}  // namespace common
