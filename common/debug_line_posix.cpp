#include <unistd.h>

#include <cerrno>
#include <string>

#include "debug_line.h"
#include "write_all.h"

namespace common {

void WriteDebugLine(std::string_view text) {
    const int savedErrno = errno;
    std::string line(text);
    line.push_back('\n');
    posix::WriteAll(STDERR_FILENO, line);
    errno = savedErrno;
}

}  // namespace common
