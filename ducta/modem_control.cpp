#include "modem_control.h"

#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <thread>

#include "seconds_timer.h"
#include "serial_port.h"

namespace ducta {
namespace {

// Guards the result wait against overlap from any thread: an overlapping command is turned
// away, never queued.
std::atomic<bool> g_commandInProgress{false};

struct ResultCode {
    std::string_view text;
    ModemResult result;
};

constexpr std::array<ResultCode, 7> kResultCodes{{
    {"OK\r", ModemResult::kOk},
    {"NO CARRIER\r", ModemResult::kNoCarrier},
    {"ERROR\r", ModemResult::kError},
    {"NO DIAL\r", ModemResult::kNoDialTone},
    {"BUSY\r", ModemResult::kBusy},
    {"NO ANSWER\r", ModemResult::kNoAnswer},
    {"RING\r", ModemResult::kRing},
}};
constexpr std::string_view kConnect = "CONNECT";

bool MatchesAt(std::string_view text, std::size_t pos, std::string_view word) {
    if (text.size() - pos < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[pos + i])) != word[i]) return false;
    }
    return true;
}

class InProgressGuard {
  public:
    InProgressGuard() {
        bool expected = false;
        owned_ = g_commandInProgress.compare_exchange_strong(expected, true);
    }
    ~InProgressGuard() {
        if (owned_) g_commandInProgress.store(false);
    }
    InProgressGuard(const InProgressGuard&) = delete;
    InProgressGuard& operator=(const InProgressGuard&) = delete;
    bool Owned() const { return owned_; }

  private:
    bool owned_ = false;
};

int MillisecondsUntil(SecondsTimer::Clock::time_point t) {
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(t - SecondsTimer::Clock::now()).count();
    return ms < 0 ? 0 : static_cast<int>(ms);
}

}  // namespace

std::optional<ModemResult> RecognizeResult(std::string_view reply) {
    for (std::size_t pos = 0; pos < reply.size(); ++pos) {
        for (const ResultCode& code : kResultCodes) {
            if (MatchesAt(reply, pos, code.text)) return code.result;
        }
        if (MatchesAt(reply, pos, kConnect)) {
            if (reply.find('\r', pos + kConnect.size()) != std::string_view::npos)
                return ModemResult::kConnect;
            return std::nullopt;  // the rest of the line is still to come
        }
    }
    return std::nullopt;
}

void AppendToReply(std::span<char> buffer, std::size_t& length, char c) {
    if (buffer.size() < 2) return;
    if (length >= buffer.size() - 1) {
        std::memmove(buffer.data(), buffer.data() + 1, buffer.size() - 2);
        length = buffer.size() - 2;
    }
    buffer[length++] = c;
    buffer[length] = '\0';
}

bool CommandInProgress() {
    return g_commandInProgress.load();
}

ModemResult SerialPort::SendCommand(const char* command, std::span<char> reply,
                                    int timeoutSeconds) {
    InProgressGuard guard;
    if (!guard.Owned()) return ModemResult::kInProgress;
    std::array<char, 2> scratch{};
    if (reply.size() < 2) reply = scratch;
    reply[0] = '\0';
    // A closed port can bring no answer: do not sit out the time-out.
    if (!IsOpen()) return ModemResult::kTimeout;

    Purge();
    const std::size_t length = command != nullptr ? std::strlen(command) : 0;
    Write(reinterpret_cast<const std::uint8_t*>(command), length, true);

    std::size_t received = 0;
    SecondsTimer timer;
    timer.Start(timeoutSeconds);
    for (;;) {
        if (BytesWaiting() > 0) {
            std::uint8_t byte = 0;
            if (Read(&byte, 1, true) == kTransferAll) {
                AppendToReply(reply, received, static_cast<char>(byte));
                if (auto result = RecognizeResult(std::string_view(reply.data(), received)))
                    return *result;
            }
        }
        if (timer.Expired()) return ModemResult::kTimeout;
        // Sleep on the port, not on the processor, until a byte comes or the timer runs out.
        if (BytesWaiting() == 0) WaitReadable(MillisecondsUntil(timer.ExpiresAt()));
    }
}

void SerialPort::PauseCommandDelay() const {
    std::this_thread::sleep_for(std::chrono::milliseconds(commandDelay_));
}

// Walks a ";"-separated list. An empty entry is one pause; an entry with a carriage return must
// be answered OK (10 s, or `lastEntryTimeoutSeconds` for the last entry); one without is sent,
// given a second, and counts as OK. Stops at the first confirmed entry not answered OK. The
// separator after the current entry is replaced by a NUL while it is sent, then restored.
int SerialPort::RunCommandList(char* list, int lastEntryTimeoutSeconds) {
    ModemResult last = ModemResult::kError;
    std::array<char, kCommandReplySize> reply{};
    char* pos = list;
    for (;;) {
        Purge();
        if (*pos == ';') {
            PauseCommandDelay();
            ++pos;
            continue;
        }
        if (*pos == '\0') break;
        char* separator = std::strchr(pos, ';');
        if (separator != nullptr) *separator = '\0';
        if (std::strchr(pos, '\r') != nullptr) {
            last = SendCommand(
                pos, reply,
                separator != nullptr ? kConfirmedCommandTimeoutS : lastEntryTimeoutSeconds);
        } else {
            SendCommand(pos, reply, kUnconfirmedCommandTimeoutS);
            last = ModemResult::kOk;
        }
        if (separator == nullptr) break;
        *separator = ';';
        PauseCommandDelay();
        pos = separator + 1;
        if (last != ModemResult::kOk) break;
    }
    return static_cast<int>(last);
}

int SerialPort::InitAndDial(char* initList, const char* dialCommand, int connectTimeoutSeconds) {
    dialing_ = true;
    const bool hasInit = initList != nullptr && *initList != '\0';
    if (hasInit &&
        RunCommandList(initList, kConfirmedCommandTimeoutS) != static_cast<int>(ModemResult::kOk)) {
        dialing_ = false;
        return 1;
    }
    if (dialCommand != nullptr && *dialCommand != '\0') {
        std::array<char, kCommandReplySize> reply{};
        if (SendCommand(dialCommand, reply, connectTimeoutSeconds) != ModemResult::kConnect) {
            dialing_ = false;
            return 1;
        }
        connected_ = true;
    }
    dialing_ = false;
    return 0;
}

int SerialPort::HangUp(char* hangupList, int timeoutSeconds) {
    hangingUp_ = true;
    Purge();
    int last = static_cast<int>(ModemResult::kError);
    if (hangupList != nullptr && *hangupList != '\0')
        last = RunCommandList(hangupList, timeoutSeconds);
    hangingUp_ = false;
    if (last != static_cast<int>(ModemResult::kOk)) return 1;
    connected_ = false;
    return 0;
}

}  // namespace ducta
