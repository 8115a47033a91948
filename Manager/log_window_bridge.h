// Carries the log writer's lines into the log window. Any thread may write a line: on the
// user-interface thread it goes straight into the list; from another thread a copy is handed
// to the user-interface thread and the writer goes on at once, so a writer never waits for the
// window, and the lines of one thread keep their order.
//
// The bridge lives as long as the process, not as long as the window: a writer that picked up
// the receiver just before the window was detached still finds a live object. A line handed
// over for an earlier attachment is never stored.
#pragma once

#include <cstdint>
#include <mutex>

#include "log_writer.h"

class TLogForm;

namespace manager {

class LogWindowBridge : public gateway::LogReceiver {
  public:
    // The bridge of the program's one log window.
    static LogWindowBridge& Instance();

    // Connects `window` (user-interface thread) and attaches the bridge to the log writer.
    void Attach(TLogForm* window);
    // Detaches the bridge from the log writer; lines still on their way are dropped. Safe to
    // call when nothing is attached.
    void Detach();
    // True while `window` is the one connected.
    bool IsAttachedTo(const TLogForm* window) const;

    void ReceiveLogLine(const char* line) override;
    std::uint32_t LogReceiverId() const override;

  private:
    // The window of attachment `generation`, or null when that one has ended.
    TLogForm* WindowOf(std::uint64_t generation) const;

    // Guards the window, its attachment's generation and the lines on their way: the gateway's
    // threads hand lines over, the user-interface thread shows them.
    mutable std::mutex mutex_;
    // Plain pointer under the lock: the window detaches itself before it goes.
    TLogForm* window_ = nullptr;
    // Counts attachments, so that a line handed over for an earlier one is never stored.
    std::uint64_t generation_ = 0;
    std::uint64_t windowId_ = 0;
};

}  // namespace manager
