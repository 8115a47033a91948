#include "stop_signal.h"

#include <signal.h>

#include <csignal>

namespace sim {

namespace {

volatile std::sig_atomic_t stopFlag = 0;

extern "C" void OnStopSignal(int) {
    stopFlag = 1;
}

}  // namespace

void InstallStopHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a signal ends a poll or a sleep at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() {
    return stopFlag != 0;
}

}  // namespace sim
