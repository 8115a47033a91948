#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "wake_signal.h"

namespace gateway {

WakeSignal::~WakeSignal() {
    if (readEnd_ >= 0) close(readEnd_);
}

bool WakeSignal::Open() {
    readEnd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    writeEnd_ = readEnd_;
    return readEnd_ >= 0;
}

void WakeSignal::Raise() {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(writeEnd_, &one, sizeof one);
}

void WakeSignal::Clear() {
    std::uint64_t count = 0;
    [[maybe_unused]] ssize_t got = read(readEnd_, &count, sizeof count);
}

}  // namespace gateway
