// Hayes-style modem control on the port: one command and its result code, the init list and
// dial, the hang-up list. The operations themselves are members of SerialPort.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace ducta {

enum class ModemResult : int {
    kInProgress = 1,  // another command is already waiting; nothing was sent
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

// True while a command waits for its result anywhere in this process.
bool CommandInProgress();

}  // namespace ducta
