// Carries the log writer's lines into the log window. Any thread may write a line: on the
// user-interface thread it goes straight into the list; from another thread it is queued to the
// user-interface thread and the writer waits until the window has stored it, so the lines of one
// thread keep their order.
//
// The bridge lives as long as the process, not as long as the window: a writer that picked up
// the receiver just before the window was detached still finds a live object, and it is released
// at once instead of waiting for a window that is going away.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "log_writer.h"

class TLogForm;

namespace manager {

class LogWindowBridge : public gateway::LogReceiver {
  public:
    // The longest a writer waits for the user-interface thread before it drops its line.
    static constexpr std::chrono::seconds kDeliveryBound{30};

    // The bridge of the program's one log window.
    static LogWindowBridge& Instance();

    // Connects `window` (user-interface thread) and attaches the bridge to the log writer.
    void Attach(TLogForm* window);
    // Detaches the bridge from the log writer, releases every writer still waiting and drops
    // what they were delivering. Safe to call when nothing is attached.
    void Detach();
    // True while `window` is the one connected.
    bool IsAttachedTo(const TLogForm* window) const;

    // Writers on other threads waiting for the user-interface thread just now.
    std::size_t WaitingWriters() const;

    void ReceiveLogLine(const char* line) override;
    std::uint32_t LogReceiverId() const override;

  private:
    mutable std::mutex mutex_;
    std::condition_variable delivered_;
    // Plain pointer under the lock: the window detaches itself before it goes.
    TLogForm* window_ = nullptr;
    // Counts attachments, so that a line queued for an earlier one is never stored.
    std::uint64_t generation_ = 0;
    std::uint64_t windowId_ = 0;
    std::size_t waiting_ = 0;
};

}  // namespace manager
