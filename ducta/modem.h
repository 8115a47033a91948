// Hayes-style modem control over the serial port: one command and its result code, the init
// list and the dial, the hang-up list, and the state that outlives them (connected).
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "serial_port.h"
#include "status.h"

namespace ducta {

enum class ModemResult : int {
    kTimeout = 3,
    kOk = 5,
    kNoCarrier = 6,
    kError = 7,
    kNoDialTone = 8,
    kBusy = 9,
    kNoAnswer = 10,
    kRing = 11,
    kConnect = 12,
};

inline constexpr int kConfirmedCommandTimeoutS = 10;
inline constexpr int kUnconfirmedCommandTimeoutS = 1;
inline constexpr std::size_t kCommandReplySize = 512;

// The result code the reply text holds, if any: scanned from the start, letter case ignored,
// the earliest match wins; "CONNECT" counts only with a carriage return anywhere after it.
std::optional<ModemResult> RecognizeResult(std::string_view reply);

// Appends `c` to the NUL-terminated text in `buffer` (of `length` characters). A full buffer
// drops its oldest character, so the newest text is always there to be scanned.
void AppendToReply(std::span<char> buffer, std::size_t& length, char c);

// Used from the caller's thread only; the library's caller serialises every call.
class Modem {
  public:
    explicit Modem(SerialPort& port) : port_(port) {}

    // Sends `command` as written and waits, up to `timeoutSeconds` whole seconds (at least 1),
    // for a result code. A port that is closed, lost or does not take the command answers
    // kTimeout at once: no answer can come.
    ModemResult SendCommand(const char* command, std::span<char> reply, int timeoutSeconds);
    // Runs the init list (";"-separated, may be null or empty) and the dial command. kOk
    // (connected when a dial was sent), kModemInitFailed or kModemDialFailed. The list text
    // is unchanged afterwards.
    Status InitAndDial(char* initList, const char* dialCommand, int connectTimeoutSeconds);
    // Runs the hang-up list; the last entry waits `timeoutSeconds`. kOk (no longer connected)
    // or kHangUpFailed (still marked connected).
    Status HangUp(char* hangupList, int timeoutSeconds);

    // What made the last InitAndDial or HangUp fail: the answer to the command that failed
    // (kTimeout: none in time; nothing when the list held no command to confirm), and the
    // port's own failure when the line failed under the command.
    struct Failure {
        std::optional<ModemResult> answer;
        Status port = Status::kOk;
    };
    const Failure& LastFailure() const { return failure_; }

    bool IsConnected() const { return connected_; }
    void SetConnected(bool connected) { connected_ = connected; }
    void SetCommandDelay(int ms) { commandDelay_ = ms < 0 ? 0 : ms; }

  private:
    ModemResult RunCommandList(char* list, int lastEntryTimeoutSeconds);
    void PauseCommandDelay() const;

    SerialPort& port_;
    Failure failure_;
    Status commandPortFailure_ = Status::kOk;  // of the last SendCommand
    bool connected_ = false;
    int commandDelay_ = 1;
};

}  // namespace ducta
