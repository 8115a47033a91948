#include "sim_signals.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <csignal>

namespace sim {

namespace {

volatile std::sig_atomic_t stopFlag = 0;
// The signal mask inside Wait: the one found at start, with the signals above let through
// even when the parent had them blocked.
sigset_t waitMask;
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
    sa.sa_flags = 0;  // no SA_RESTART: a signal ends the wait at once
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
    sigset_t ours;
    sigemptyset(&ours);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) sigaddset(&ours, s);
    sigprocmask(SIG_BLOCK, &ours, &waitMask);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) sigdelset(&waitMask, s);
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

int Wait(pollfd* fds, nfds_t count, std::optional<Clock::time_point> deadline) {
    timespec wait{};
    if (deadline) {
        const auto left = std::max(*deadline - Clock::now(), Clock::duration::zero());
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        wait.tv_sec = static_cast<time_t>(seconds.count());
        wait.tv_nsec = static_cast<long>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count());
    }
    return ppoll(fds, count, deadline ? &wait : nullptr, &waitMask);
}

}  // namespace sim
