#include "ui_dispatcher.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdint>
#include <system_error>

namespace manager {

UiDispatcher& UiDispatcher::Instance() {
    // Never destroyed: other threads may hold on to it until the process ends.
    static auto* dispatcher = new UiDispatcher;
    return *dispatcher;
}

UiDispatcher::UiDispatcher() : uiThread_(std::this_thread::get_id()) {
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
    notifier_ = new QSocketNotifier(wake_, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] { RunPosted(); });
}

void UiDispatcher::Post(std::function<void()> task) {
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        first = tasks_.empty();
        tasks_.push_back(std::move(task));
    }
    // One wake-up for a run of tasks; the user-interface thread takes them all.
    if (first) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = write(wake_, &one, sizeof one);
    }
}

void UiDispatcher::RunPosted() {
    std::uint64_t count = 0;
    [[maybe_unused]] ssize_t got = read(wake_, &count, sizeof count);
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(tasks_);
    }
    for (auto& task : tasks) task();
}

}  // namespace manager
