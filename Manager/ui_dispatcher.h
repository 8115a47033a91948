// Runs work handed over from other threads (the gateway's, the host-name lookup) on the
// user-interface thread, in the order it was handed over; the handing thread goes on at once.
// The hand-over is a queue under a lock and an event descriptor that the user-interface
// thread's event loop watches, so no Qt object is touched off that thread.
#pragma once

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class QSocketNotifier;

namespace manager {

class UiDispatcher {
  public:
    // The program's one dispatcher. The first call must come from the user-interface thread,
    // with the application object made; it lives as long as the process.
    static UiDispatcher& Instance();

    // Any thread. `task` runs on the user-interface thread when its event loop next turns.
    void Post(std::function<void()> task);
    bool OnUiThread() const { return std::this_thread::get_id() == uiThread_; }

  private:
    UiDispatcher();
    void RunPosted();

    const std::thread::id uiThread_;
    int wake_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::mutex mutex_;
    std::vector<std::function<void()>> tasks_;
};

}  // namespace manager
