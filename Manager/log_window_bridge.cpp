#include "log_window_bridge.h"

#include <QMetaObject>
#include <QString>
#include <QThread>
#include <memory>

#include "log_form.h"

namespace manager {
namespace {

// One queued line: the writer waits until the window has stored it or the bridge gave it up.
struct Delivery {
    bool claimed = false;    // the user-interface thread has begun to store it
    bool stored = false;     // ... and has stored it
    bool cancelled = false;  // the writer gave up; never store it
};

}  // namespace

LogWindowBridge& LogWindowBridge::Instance() {
    // Never destroyed: gateway threads may hold the pointer until they are joined.
    static auto* bridge = new LogWindowBridge;
    return *bridge;
}

void LogWindowBridge::Attach(TLogForm* window) {
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
    {
        std::lock_guard lock(mutex_);
        window_ = nullptr;
        ++generation_;
        windowId_ = 0;
    }
    delivered_.notify_all();
}

bool LogWindowBridge::IsAttachedTo(const TLogForm* window) const {
    std::lock_guard lock(mutex_);
    return window != nullptr && window_ == window;
}

std::uint32_t LogWindowBridge::LogReceiverId() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::uint32_t>(windowId_);
}

std::size_t LogWindowBridge::WaitingWriters() const {
    std::lock_guard lock(mutex_);
    return waiting_;
}

void LogWindowBridge::ReceiveLogLine(const char* line) {
    std::unique_lock lock(mutex_);
    TLogForm* window = window_;
    if (window == nullptr) return;
    if (QThread::currentThread() == window->thread()) {
        lock.unlock();
        window->AddLogLine(line);
        return;
    }

    const std::uint64_t generation = generation_;
    auto delivery = std::make_shared<Delivery>();
    QString text = QString::fromUtf8(line);
    // The window is the call's context: a call still queued when it is destroyed is dropped.
    QMetaObject::invokeMethod(
        window,
        [this, window, text, delivery, generation] {
            {
                std::lock_guard guard(mutex_);
                if (delivery->cancelled || generation != generation_) return;
                delivery->claimed = true;
            }
            // Stored outside the lock: writers on other threads need it meanwhile.
            window->AddLogLine(text);
            {
                std::lock_guard guard(mutex_);
                delivery->stored = true;
            }
            delivered_.notify_all();
        },
        Qt::QueuedConnection);
    ++waiting_;
    delivered_.wait_for(lock, kDeliveryBound,
                        [&] { return delivery->stored || generation != generation_; });
    // Given up (detached, or the bound passed): a line stored later would come behind newer ones.
    --waiting_;
    if (!delivery->claimed) delivery->cancelled = true;
}

}  // namespace manager
