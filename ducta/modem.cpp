#include "modem.h"

#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "seconds_timer.h"

namespace ducta {
namespace {

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

// A result in words for the debug output.
std::string ResultWords(ModemResult result) {
    for (const ResultCode& code : kResultCodes) {
        if (code.result == result) return std::string(code.text.substr(0, code.text.size() - 1));
    }
    if (result == ModemResult::kConnect) return "CONNECT";
    return "nothing in time";
}

// A command as the debug output shows it: control characters as <CR> or <xx>.
std::string Shown(std::string_view command) {
    std::string out = "'";
    for (char c : command) {
        if (c == '\r') {
            out += "<CR>";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02X>", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "'";
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

ModemResult Modem::SendCommand(const char* command, std::span<char> reply, int timeoutSeconds) {
    std::array<char, 2> scratch{};
    if (reply.size() < 2) reply = scratch;
    reply[0] = '\0';
    commandPortFailure_ = Status::kOk;
    if (!port_.IsOpen()) {
        commandPortFailure_ = Status::kNotOpen;
        return ModemResult::kTimeout;
    }
    const CapturedAs modemText(port_, LineCapture::Kind::kModemText);

    port_.Purge();
    const std::size_t length = command != nullptr ? std::strlen(command) : 0;
    if (const Status s = port_.Write({reinterpret_cast<const std::uint8_t*>(command), length});
        s != Status::kOk) {
        commandPortFailure_ = s;
        return ModemResult::kTimeout;
    }

    SecondsTimer timer;
    timer.Start(timeoutSeconds);
    std::size_t received = 0;
    std::array<std::uint8_t, 64> chunk{};
    for (;;) {
        std::size_t got = 0;
        if (const Status s = port_.ReadSome(chunk, got, timer.ExpiresAt()); s != Status::kOk) {
            // The timer ran out, or the line is gone.
            if (s != Status::kTimeout) commandPortFailure_ = s;
            return ModemResult::kTimeout;
        }
        // Scanned after every character, so the first result to be complete decides.
        for (std::size_t i = 0; i < got; ++i) {
            AppendToReply(reply, received, static_cast<char>(chunk[i]));
            if (auto result = RecognizeResult(std::string_view(reply.data(), received)))
                return *result;
        }
    }
}

void Modem::PauseCommandDelay() const {
    std::this_thread::sleep_for(std::chrono::milliseconds(commandDelay_));
}

// Walks a ";"-separated list. An empty entry is one pause; an entry with a carriage return must
// be answered OK (10 s, or `lastEntryTimeoutSeconds` for the last entry); one without is sent,
// given a second, and counts as OK. Stops at the first confirmed entry not answered OK. The
// separator after the current entry is replaced by a NUL while it is sent, then restored.
ModemResult Modem::RunCommandList(char* list, int lastEntryTimeoutSeconds) {
    ModemResult last = ModemResult::kError;
    std::array<char, kCommandReplySize> reply{};
    char* pos = list;
    for (;;) {
        port_.Purge();
        if (*pos == ';') {
            PauseCommandDelay();
            ++pos;
            continue;
        }
        if (*pos == '\0') break;
        char* separator = std::strchr(pos, ';');
        if (separator != nullptr) *separator = '\0';
        if (std::strchr(pos, '\r') != nullptr) {
            const int timeout =
                separator != nullptr ? kConfirmedCommandTimeoutS : lastEntryTimeoutSeconds;
            last = SendCommand(pos, reply, timeout);
            failure_ = {last, commandPortFailure_};
            if (last != ModemResult::kOk)
                port_.Report("modem: " + Shown(pos) + " answered " + ResultWords(last));
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
    return last;
}

Status Modem::InitAndDial(char* initList, const char* dialCommand, int connectTimeoutSeconds) {
    failure_ = {};
    const bool hasInit = initList != nullptr && *initList != '\0';
    if (hasInit && RunCommandList(initList, kConfirmedCommandTimeoutS) != ModemResult::kOk) {
        port_.Report(Describe(Status::kModemInitFailed));
        return Status::kModemInitFailed;
    }
    if (dialCommand != nullptr && *dialCommand != '\0') {
        std::array<char, kCommandReplySize> reply{};
        const ModemResult result = SendCommand(dialCommand, reply, connectTimeoutSeconds);
        failure_ = {result, commandPortFailure_};
        if (result != ModemResult::kConnect) {
            port_.Report(std::string(Describe(Status::kModemDialFailed)) + ": " +
                         Shown(dialCommand) + " answered " + ResultWords(result));
            return Status::kModemDialFailed;
        }
        connected_ = true;
    }
    return Status::kOk;
}

Status Modem::HangUp(char* hangupList, int timeoutSeconds) {
    failure_ = {};
    port_.Purge();
    ModemResult last = ModemResult::kError;
    if (hangupList != nullptr && *hangupList != '\0')
        last = RunCommandList(hangupList, timeoutSeconds);
    if (last != ModemResult::kOk) {
        port_.Report(Describe(Status::kHangUpFailed));
        return Status::kHangUpFailed;
    }
    connected_ = false;
    return Status::kOk;
}

}  // namespace ducta
