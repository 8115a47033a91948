#include "stdout_log_receiver.h"

#include <cstdio>

namespace gatewayd {

void StdoutLogReceiver::ReceiveLogLine(const char* line) {
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace gatewayd
