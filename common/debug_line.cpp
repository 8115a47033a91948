#include "debug_line.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "write_all.h"

namespace posix {

void WriteDebugLine(std::string_view text) {
    const int savedErrno = errno;
    std::string line(text);
    line.push_back('\n');
    WriteAll(STDERR_FILENO, line);
    errno = savedErrno;
}

}  // namespace posix
