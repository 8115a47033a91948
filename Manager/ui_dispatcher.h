// Runs work handed over from other threads (the gateway's, the host-name lookup) on the
// user-interface thread, in the order it was handed over; the handing thread goes on at once.
// The work waits in a queue under a lock; a queued call through the user-interface thread's
// event loop runs it. The work itself never travels inside Qt, whose own locking the thread
// sanitizer cannot see: it would take every hand-over for a race.
#pragma once

#include <QObject>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace manager {

class UiDispatcher : public QObject {
    Q_OBJECT

  public:
    // The program's one dispatcher. The first call must come from the user-interface thread,
    // with the application object made; it lives as long as the process.
    static UiDispatcher& Instance();

    // Any thread. `task` runs on the user-interface thread when its event loop next turns.
    void Post(std::function<void()> task);
    bool OnUiThread() const { return std::this_thread::get_id() == uiThread_; }

  private:
    UiDispatcher();
    Q_INVOKABLE void RunHandedOver();

    const std::thread::id uiThread_;
    std::mutex mutex_;  // guards tasks_: any thread posts, the user-interface thread runs them
    std::vector<std::function<void()>> tasks_;
};

}  // namespace manager
