#include "debug_output.h"

#include <cstdio>

namespace gateway {

void DebugOutput(const char* text) {
    // One fprintf call per line, so that lines of different threads do not interleave.
    std::fprintf(stderr, "%s\n", text);
}

}  // namespace gateway
