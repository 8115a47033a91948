// Carries the device's state from the gateway into the log window's status line. The gateway
// hands every change over on the thread that made it; the bridge keeps the newest and has the
// user-interface thread show it, so the gateway never waits for the window and the window never
// waits for the serial line. A burst of changes is shown once, as its newest.
//
// Like the log window bridge it lives as long as the process, and a change handed over for an
// earlier attachment is never shown.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

#include "device_status.h"

class TLogForm;

namespace manager {

class DeviceStatusBridge : public gateway::DeviceStatusReceiver {
  public:
    // The bridge of the program's one log window.
    static DeviceStatusBridge& Instance();

    // Connects `window` (user-interface thread) and attaches the bridge to the gateway, whose
    // state the window shows at once.
    void Attach(TLogForm* window);
    // Detaches the bridge from the gateway; the window's line then says that no gateway runs
    // here. Safe to call when nothing is attached.
    void Detach();
    // True while `window` is the one connected.
    bool IsAttachedTo(const TLogForm* window) const;

    void ReceiveDeviceStatus(const gateway::DeviceStatus& status) override;

  private:
    // Shows the newest state, if it was handed over for attachment `generation`.
    void ShowNewest(std::uint64_t generation);

    // Guards the window, its attachment's generation and the newest state: the gateway's
    // threads hand states over, the user-interface thread shows them.
    mutable std::mutex mutex_;
    // Plain pointer under the lock: the window detaches itself before it goes.
    TLogForm* window_ = nullptr;
    std::uint64_t generation_ = 0;
    std::optional<gateway::DeviceStatus> newest_;
    bool showPending_ = false;  // a showing of newest_ is on its way to the window
};

}  // namespace manager
