#include "log_window_bridge.h"

#include <string>

#include "log_form.h"
#include "ui_dispatcher.h"

namespace manager {

LogWindowBridge& LogWindowBridge::Instance() {
    // Never destroyed: gateway threads may hold the pointer until they are joined.
    static auto* bridge = new LogWindowBridge;
    return *bridge;
}

void LogWindowBridge::Attach(TLogForm* window) {
    // Made here, on the user-interface thread, before any other thread hands a line over.
    UiDispatcher::Instance();
    // Asking for the id makes the native window exist, although it is not shown.
    const auto id = window != nullptr ? static_cast<std::uint64_t>(window->winId()) : 0;
    {
        std::lock_guard lock(mutex_);
        window_ = window;
        ++generation_;
        windowId_ = id;
    }
    gateway::SetLogWindow(window != nullptr ? this : nullptr);
}

void LogWindowBridge::Detach() {
    gateway::SetLogWindow(nullptr);
    std::lock_guard lock(mutex_);
    window_ = nullptr;
    ++generation_;
    windowId_ = 0;
}

bool LogWindowBridge::IsAttachedTo(const TLogForm* window) const {
    std::lock_guard lock(mutex_);
    return window != nullptr && window_ == window;
}

std::uint32_t LogWindowBridge::LogReceiverId() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::uint32_t>(windowId_);
}

TLogForm* LogWindowBridge::WindowOf(std::uint64_t generation) const {
    std::lock_guard lock(mutex_);
    return generation == generation_ ? window_ : nullptr;
}

void LogWindowBridge::ReceiveLogLine(const char* line) {
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        if (window_ == nullptr) return;
        generation = generation_;
    }
    UiDispatcher& dispatcher = UiDispatcher::Instance();
    if (dispatcher.OnUiThread()) {
        if (TLogForm* window = WindowOf(generation)) window->AddLogLine(line);
        return;
    }
    // The list is changed on the user-interface thread only, which also destroys the window
    // (detaching it first), so the window found there is alive.
    dispatcher.Post([this, generation, text = std::string(line)] {
        if (TLogForm* window = WindowOf(generation)) window->AddLogLine(text.c_str());
    });
}

}  // namespace manager
