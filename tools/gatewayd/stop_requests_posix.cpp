#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "stop_requests.h"
#include "system_error.h"

namespace gatewayd {

struct StopRequests::State {
    int signals = -1;
    int ended = -1;
};

StopRequests::StopRequests() : state_(std::make_unique<State>()) {}

StopRequests::~StopRequests() {
    if (state_->signals >= 0) close(state_->signals);
    if (state_->ended >= 0) close(state_->ended);
}

common::Outcome<> StopRequests::Open(bool) {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    state_->signals = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (state_->signals >= 0) state_->ended = eventfd(0, EFD_CLOEXEC);
    if (state_->signals < 0 || state_->ended < 0) {
        return common::Failure{common::FailureKind::kOther,
                               "cannot wait for stop signals: " + common::SystemErrorText(errno)};
    }
    return common::Done{};
}

// The signal is blocked in every thread, so it waits for the main thread's Wait.
void StopRequests::Request() {
    kill(getpid(), SIGTERM);
}

void StopRequests::GatewayEnded() {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(state_->ended, &one, sizeof one);
}

bool StopRequests::Wait() {
    pollfd fds[] = {{state_->signals, POLLIN, 0}, {state_->ended, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            if (read(state_->signals, &info, sizeof info) == sizeof info) return true;
        }
        if (fds[1].revents != 0) return false;
    }
}

void StopRequests::Done() {}

}  // namespace gatewayd
