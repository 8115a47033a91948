// A scripted Hayes-style modem on the master end of a pseudo-terminal: it collects each command
// (up to its carriage return, or a bare "+++"), records it with the time it was complete, and
// sends whatever the script answers (nothing for a silent modem).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../support/pty_pair.h"

namespace ducta_test {

class ModemPeer {
  public:
    using Clock = std::chrono::steady_clock;
    using Script = std::function<std::optional<std::string>(const std::string& command)>;
    struct Command {
        std::string text;
        Clock::time_point at;
    };

    ModemPeer(const vr620_test::PtyPair& pty, Script script)
        : pty_(pty), script_(std::move(script)), thread_([this] { Run(); }) {}
    ~ModemPeer() {
        stop_ = true;
        thread_.join();
    }
    ModemPeer(const ModemPeer&) = delete;
    ModemPeer& operator=(const ModemPeer&) = delete;

    std::vector<Command> Commands() const {
        std::lock_guard lock(mutex_);
        return commands_;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& c : Commands()) out.push_back(c.text);
        return out;
    }
    bool WaitForCommands(std::size_t n,
                         std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, deadline, [&] { return commands_.size() >= n; });
    }

  private:
    void Run() {
        std::string pending;
        while (!stop_) {
            auto bytes = pty_.ReceiveSome(std::chrono::milliseconds(10));
            pending.append(bytes.begin(), bytes.end());
            for (;;) {
                std::string command;
                if (auto cr = pending.find('\r'); cr != std::string::npos) {
                    command = pending.substr(0, cr + 1);
                    pending.erase(0, cr + 1);
                } else if (pending.size() >= 3 && pending.ends_with("+++")) {
                    command = "+++";  // frame bytes before it belong to no command
                    pending.clear();
                } else {
                    break;
                }
                {
                    std::lock_guard lock(mutex_);
                    commands_.push_back({command, Clock::now()});
                }
                changed_.notify_all();
                if (auto answer = script_(command)) pty_.Send(*answer);
            }
        }
    }

    const vr620_test::PtyPair& pty_;
    Script script_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Command> commands_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A modem that answers every AT command OK, a dial CONNECT 9600/ARQ and "+++" OK, framed as
// real modems frame their results.
inline std::optional<std::string> FriendlyModem(const std::string& command) {
    if (command.rfind("ATD", 0) == 0) return "\r\nCONNECT 9600/ARQ\r\n";
    return "\r\nOK\r\n";
}

}  // namespace ducta_test
