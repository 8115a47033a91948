#include "ui_dispatcher.h"

#include <QMetaObject>

namespace manager {

UiDispatcher& UiDispatcher::Instance() {
    // Never destroyed: other threads may hold on to it until the process ends.
    static auto* dispatcher = new UiDispatcher;
    return *dispatcher;
}

UiDispatcher::UiDispatcher() : uiThread_(std::this_thread::get_id()) {}

void UiDispatcher::Post(std::function<void()> task) {
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        first = tasks_.empty();
        tasks_.push_back(std::move(task));
    }
    // One call for a run of tasks; the user-interface thread takes them all.
    if (first) QMetaObject::invokeMethod(this, "RunHandedOver", Qt::QueuedConnection);
}

void UiDispatcher::RunHandedOver() {
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(tasks_);
    }
    for (auto& task : tasks) task();
}

}  // namespace manager
