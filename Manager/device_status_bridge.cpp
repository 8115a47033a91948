#include "device_status_bridge.h"

#include "gateway.h"
#include "log_form.h"
#include "ui_dispatcher.h"

namespace manager {

DeviceStatusBridge& DeviceStatusBridge::Instance() {
    // Never destroyed: gateway threads may hold the pointer until they are joined.
    static auto* bridge = new DeviceStatusBridge;
    return *bridge;
}

void DeviceStatusBridge::Attach(TLogForm* window) {
    if (window == nullptr) {
        Detach();
        return;
    }
    // Made here, on the user-interface thread, before any other thread hands a change over.
    UiDispatcher::Instance();
    {
        std::lock_guard lock(mutex_);
        window_ = window;
        ++generation_;
        newest_.reset();
        showPending_ = false;
    }
    // The gateway hands the state over at once, here on this thread.
    gateway::SetDeviceStatusReceiver(this);
}

void DeviceStatusBridge::Detach() {
    {
        std::lock_guard lock(mutex_);
        if (window_ == nullptr) return;
    }
    // Once this returns, no change is being handed over and none will be.
    gateway::SetDeviceStatusReceiver(nullptr);
    TLogForm* window = nullptr;
    {
        std::lock_guard lock(mutex_);
        window = window_;
        window_ = nullptr;
        ++generation_;
        newest_.reset();
        showPending_ = false;
    }
    if (window != nullptr) window->ShowDeviceStatus(std::nullopt);
}

bool DeviceStatusBridge::IsAttachedTo(const TLogForm* window) const {
    std::lock_guard lock(mutex_);
    return window != nullptr && window_ == window;
}

void DeviceStatusBridge::ReceiveDeviceStatus(const gateway::DeviceStatus& status) {
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        if (window_ == nullptr) return;
        newest_ = status;
        // The showing on its way takes this newest state with it.
        if (showPending_) return;
        showPending_ = true;
        generation = generation_;
    }
    UiDispatcher& dispatcher = UiDispatcher::Instance();
    if (dispatcher.OnUiThread()) {
        ShowNewest(generation);
        return;
    }
    // The line is changed on the user-interface thread only, which also destroys the window
    // (detaching it first), so the window found there is alive.
    dispatcher.Post([this, generation] { ShowNewest(generation); });
}

void DeviceStatusBridge::ShowNewest(std::uint64_t generation) {
    TLogForm* window = nullptr;
    std::optional<gateway::DeviceStatus> status;
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_) return;
        showPending_ = false;
        window = window_;
        status = newest_;
    }
    if (window != nullptr && status) window->ShowDeviceStatus(status);
}

}  // namespace manager
