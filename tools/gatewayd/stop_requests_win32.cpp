#include <windows.h>

#include <atomic>

#include "stop_requests.h"
#include "system_error.h"

namespace gatewayd {
namespace {

// The console's handler is a plain function on a thread of the system's: it reaches the
// program's one StopRequests through this.
std::atomic<HANDLE> requestedEvent{nullptr};
std::atomic<HANDLE> doneEvent{nullptr};

// A little under the five seconds the system gives a console program before it ends it.
constexpr DWORD kDoneBoundMs = 4500;

BOOL WINAPI OnConsoleControl(DWORD type) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            SetEvent(requestedEvent.load());
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The program ends when this returns: the stop is waited for first.
            SetEvent(requestedEvent.load());
            WaitForSingleObject(doneEvent.load(), kDoneBoundMs);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

struct StopRequests::State {
    HANDLE requested = nullptr;
    HANDLE ended = nullptr;
    HANDLE done = nullptr;
};

StopRequests::StopRequests() : state_(std::make_unique<State>()) {}

StopRequests::~StopRequests() {
    if (requestedEvent.load() == state_->requested) SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    for (HANDLE h : {state_->requested, state_->ended, state_->done}) {
        if (h != nullptr) CloseHandle(h);
    }
}

common::Outcome<> StopRequests::Open(bool managerStops) {
    // Manual reset: once set, a request stays seen.
    state_->requested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state_->ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state_->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (state_->requested == nullptr || state_->ended == nullptr || state_->done == nullptr) {
        return common::Failure{
            common::FailureKind::kOther,
            "cannot wait for stop requests: " + common::SystemErrorText(GetLastError())};
    }
    if (managerStops) return common::Done{};
    requestedEvent.store(state_->requested);
    doneEvent.store(state_->done);
    if (!SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
        return common::Failure{
            common::FailureKind::kOther,
            "cannot take the console's stop requests: " + common::SystemErrorText(GetLastError())};
    }
    return common::Done{};
}

void StopRequests::Request() {
    SetEvent(state_->requested);
}

void StopRequests::GatewayEnded() {
    SetEvent(state_->ended);
}

bool StopRequests::Wait() {
    const HANDLE events[] = {state_->requested, state_->ended};
    return WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0;
}

void StopRequests::Done() {
    SetEvent(state_->done);
}

}  // namespace gatewayd
