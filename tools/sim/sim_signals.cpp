#include "sim_signals.h"

#include <signal.h>

#include <atomic>
#include <csignal>

namespace sim {

namespace {

volatile std::sig_atomic_t stopFlag = 0;
// Lock-free, so the handler may store into it and the loop take it in one step.
std::atomic<int> plugRequest{0};  // a PlugRequest

extern "C" void OnStopSignal(int) {
    stopFlag = 1;
}

extern "C" void OnPlugSignal(int signal) {
    plugRequest.store(
        static_cast<int>(signal == SIGUSR1 ? PlugRequest::kVanish : PlugRequest::kReturn));
}

void Handle(int signal, void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a signal ends a poll or a sleep at once
    sigaction(signal, &sa, nullptr);
}

}  // namespace

void InstallSignalHandlers() {
    Handle(SIGINT, OnStopSignal);
    Handle(SIGTERM, OnStopSignal);
    Handle(SIGHUP, OnStopSignal);
    Handle(SIGUSR1, OnPlugSignal);
    Handle(SIGUSR2, OnPlugSignal);
    signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() {
    return stopFlag != 0;
}

PlugRequest TakePlugRequest() {
    return static_cast<PlugRequest>(plugRequest.exchange(static_cast<int>(PlugRequest::kNone)));
}

bool VanishPending() {
    return plugRequest.load() == static_cast<int>(PlugRequest::kVanish);
}

}  // namespace sim
