#include "hayes_modem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

namespace sim {

namespace {

// Longer command lines are answered with ERROR.
constexpr std::size_t kMaxLine = 255;

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Reads the decimal digits at `i`; -1 when there are none.
int ReadNumber(std::string_view s, std::size_t& i) {
    if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return -1;
    int v = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        v = std::min(v * 10 + (s[i] - '0'), 100000);
        ++i;
    }
    return v;
}

bool ValidDialString(std::string_view number) {
    static constexpr std::string_view kAllowed = "0123456789*#,WTP!@-() +";
    bool digit = false;
    for (char c : number) {
        if (kAllowed.find(Upper(c)) == std::string_view::npos) return false;
        if (std::isdigit(static_cast<unsigned char>(c))) digit = true;
    }
    return digit;
}

}  // namespace

HayesModem::HayesModem(ModemOptions options, Log log)
    : options_(std::move(options)), log_(std::move(log)) {
    active_ = Factory();
    stored_ = active_;
}

HayesModem::Profile HayesModem::Factory() const {
    Profile p;
    p.registers[2] = '+';   // escape character
    p.registers[3] = '\r';  // end of a command line
    p.registers[4] = '\n';  // line feed of verbose results
    p.registers[5] = 8;     // backspace
    p.registers[6] = 2;
    p.registers[7] = 50;
    p.registers[8] = 2;
    p.registers[10] = 14;
    // S12 holds the guard time in fiftieths of a second; the option gives it in milliseconds.
    p.registers[12] =
        static_cast<std::uint8_t>(std::clamp<long long>(options_.guard.count() / 20, 1, 255));
    p.guard = options_.guard;
    return p;
}

void HayesModem::Feed(std::uint8_t byte, Clock::time_point now, Output& out) {
    switch (state_) {
        case State::kData:
            FeedData(byte, now, out);
            return;
        case State::kDialing:
            // As on a real modem, any character from the computer abandons the dial.
            state_ = State::kCommand;
            log_("dial abandoned: a character arrived while dialing");
            SendResult(Result::kNoCarrier, out);
            return;
        case State::kCommand:
            FeedCommand(byte, now, out);
            return;
    }
}

void HayesModem::FeedCommand(std::uint8_t byte, Clock::time_point now, Output& out) {
    if (active_.echo) out.toLine.push_back(byte);
    if (byte == active_.registers[3]) {
        ExecuteLine(now, out);
        return;
    }
    if (byte == active_.registers[5]) {
        if (!line_.empty()) line_.pop_back();
        return;
    }
    if (byte < 0x20 || byte >= 0x7F) return;
    if (line_.size() >= kMaxLine) {
        lineOverflow_ = true;
        return;
    }
    line_ += static_cast<char>(byte);
}

void HayesModem::ExecuteLine(Clock::time_point now, Output& out) {
    const std::string line = std::exchange(line_, std::string());
    const bool overflow = std::exchange(lineOverflow_, false);
    // Text ahead of "AT" (such as a "+++" sent while already in command mode) is passed over;
    // a line without "AT" gets no answer at all.
    std::size_t at = std::string::npos;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        if (Upper(line[i]) == 'A' && Upper(line[i + 1]) == 'T') {
            at = i;
            break;
        }
    }
    if (overflow) {
        log_("command line longer than 255 characters");
        SendResult(Result::kError, out);
        return;
    }
    if (at == std::string::npos) {
        if (!line.empty()) log_("ignored (no AT): " + line);
        return;
    }
    const std::string_view commands = std::string_view(line).substr(at + 2);
    log_("command: AT" + std::string(commands));
    if (const auto result = Execute(commands, now, out)) SendResult(*result, out);
}

std::optional<HayesModem::Result> HayesModem::Execute(std::string_view cmd, Clock::time_point now,
                                                      Output& out) {
    std::size_t i = 0;
    while (i < cmd.size()) {
        const char c = Upper(cmd[i++]);
        switch (c) {
            case ' ':
                break;
            case 'E':
            case 'V':
            case 'Q': {
                const int n = std::max(ReadNumber(cmd, i), 0);
                if (n > 1) return Result::kError;
                bool& flag = c == 'E' ? active_.echo : c == 'V' ? active_.verbose : active_.quiet;
                flag = n == 1;
                break;
            }
            case 'Z':
                ReadNumber(cmd, i);
                HangUp();
                active_ = stored_;
                break;
            case 'H': {
                const int n = std::max(ReadNumber(cmd, i), 0);
                if (n > 1) return Result::kError;
                if (n == 0) HangUp();
                break;
            }
            case 'O':
                ReadNumber(cmd, i);
                if (!connected_) return Result::kNoCarrier;
                state_ = State::kData;
                lastRx_ = now;
                escapeCount_ = 0;
                heldEscape_.clear();
                log_("back online: data mode");
                return Result::kConnect;
            case 'D': {
                if (connected_) return Result::kError;
                std::string_view number = cmd.substr(i);
                while (!number.empty() && number.front() == ' ') number.remove_prefix(1);
                while (!number.empty() && number.back() == ' ') number.remove_suffix(1);
                if (!ValidDialString(number)) return Result::kError;
                dialNumber_ = std::string(number);
                state_ = State::kDialing;
                dialDue_ = now + options_.dialDelay;
                log_("dialing " + dialNumber_);
                return std::nullopt;
            }
            case 'S': {
                const int reg = ReadNumber(cmd, i);
                if (reg < 0 || reg > 255) return Result::kError;
                if (i < cmd.size() && cmd[i] == '=') {
                    ++i;
                    const int v = std::max(ReadNumber(cmd, i), 0);
                    if (v > 255) return Result::kError;
                    active_.registers[static_cast<std::size_t>(reg)] = static_cast<std::uint8_t>(v);
                    if (reg == 12) active_.guard = std::chrono::milliseconds(std::max(v, 1) * 20);
                } else if (i < cmd.size() && cmd[i] == '?') {
                    ++i;
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "%03u",
                                  active_.registers[static_cast<std::size_t>(reg)]);
                    SendInfo(buf, out);
                } else {
                    return Result::kError;
                }
                break;
            }
            case '&': {
                if (i >= cmd.size()) return Result::kError;
                const char what = Upper(cmd[i++]);
                ReadNumber(cmd, i);
                if (what == 'F') {
                    active_ = Factory();
                } else if (what == 'W') {
                    stored_ = active_;
                } else if (what != 'C' && what != 'D' && what != 'K') {
                    return Result::kError;
                }
                break;
            }
            case 'I':
                ReadNumber(cmd, i);
                SendInfo("VR620-SIM HAYES MODEM", out);
                break;
            case 'L':
            case 'M':
            case 'X':  // speaker and result-set choices: accepted, nothing to do
                ReadNumber(cmd, i);
                break;
            default:
                return Result::kError;
        }
    }
    return Result::kOk;
}

void HayesModem::FeedData(std::uint8_t byte, Clock::time_point now, Output& out) {
    const std::uint8_t esc = active_.registers[2];
    const bool isEscape = esc <= 127 && byte == esc;
    const auto gap = now - lastRx_;
    lastRx_ = now;
    if (isEscape && escapeCount_ > 0 && escapeCount_ < 3 && gap < active_.guard) {
        ++escapeCount_;
        heldEscape_.push_back(byte);
        return;
    }
    // Anything else breaks a sequence begun; the held characters were data after all.
    FlushHeldEscape(out);
    if (isEscape && gap >= active_.guard) {
        escapeCount_ = 1;
        heldEscape_.push_back(byte);
        return;
    }
    out.toController.push_back(byte);
}

void HayesModem::FlushHeldEscape(Output& out) {
    out.toController.insert(out.toController.end(), heldEscape_.begin(), heldEscape_.end());
    heldEscape_.clear();
    escapeCount_ = 0;
}

void HayesModem::Tick(Clock::time_point now, Output& out) {
    if (state_ == State::kDialing && now >= dialDue_) FinishDial(now, out);
    if (state_ == State::kData && escapeCount_ > 0 && now - lastRx_ >= active_.guard) {
        if (escapeCount_ == 3) {
            heldEscape_.clear();
            escapeCount_ = 0;
            state_ = State::kCommand;
            log_("escape: command mode, line still connected");
            SendResult(Result::kOk, out);
        } else {
            FlushHeldEscape(out);
        }
    }
}

std::optional<HayesModem::Clock::time_point> HayesModem::NextDeadline() const {
    if (state_ == State::kDialing) return dialDue_;
    if (state_ == State::kData && escapeCount_ > 0) return lastRx_ + active_.guard;
    return std::nullopt;
}

void HayesModem::FinishDial(Clock::time_point now, Output& out) {
    state_ = State::kCommand;
    switch (options_.dialResult) {
        case DialResult::kConnect:
            for (const std::string& line : options_.banner) {
                if (active_.verbose && !active_.quiet) SendInfo(line, out);
            }
            connected_ = true;
            state_ = State::kData;
            lastRx_ = now;
            escapeCount_ = 0;
            heldEscape_.clear();
            SendResult(Result::kConnect, out);
            log_("connected to " + dialNumber_ + ": data mode");
            return;
        case DialResult::kSilent:
            log_("dial of " + dialNumber_ + " left unanswered");
            return;
        case DialResult::kBusy:
            SendResult(Result::kBusy, out);
            return;
        case DialResult::kNoCarrier:
            SendResult(Result::kNoCarrier, out);
            return;
        case DialResult::kNoAnswer:
            SendResult(Result::kNoAnswer, out);
            return;
        case DialResult::kNoDial:
            SendResult(Result::kNoDial, out);
            return;
        case DialResult::kError:
            SendResult(Result::kError, out);
            return;
        case DialResult::kRing:
            SendResult(Result::kRing, out);
            return;
    }
}

void HayesModem::HangUp() {
    if (connected_) log_("hung up");
    connected_ = false;
    if (state_ == State::kData) state_ = State::kCommand;
}

void HayesModem::SendResult(Result result, Output& out) {
    const char* text = "OK";
    int code = 0;
    switch (result) {
        case Result::kOk:
            break;
        case Result::kConnect:
            text = options_.connectText.c_str();
            code = 1;
            break;
        case Result::kRing:
            text = "RING";
            code = 2;
            break;
        case Result::kNoCarrier:
            text = "NO CARRIER";
            code = 3;
            break;
        case Result::kError:
            text = "ERROR";
            code = 4;
            break;
        case Result::kNoDial:
            text = "NO DIAL";
            code = 6;
            break;
        case Result::kBusy:
            text = "BUSY";
            code = 7;
            break;
        case Result::kNoAnswer:
            text = "NO ANSWER";
            code = 8;
            break;
    }
    std::string shown = text;
    if (options_.lowercase) {
        for (char& ch : shown) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    if (active_.quiet) {
        log_("result (quiet): " + shown);
        return;
    }
    log_("result: " + shown);
    if (active_.verbose) {
        SendVerbose(shown, out);
    } else {
        const std::string digits = std::to_string(code);
        out.toLine.insert(out.toLine.end(), digits.begin(), digits.end());
        out.toLine.push_back(active_.registers[3]);
    }
}

void HayesModem::SendVerbose(std::string_view text, Output& out) {
    const std::uint8_t cr = active_.registers[3];
    const std::uint8_t lf = active_.registers[4];
    out.toLine.push_back(cr);
    out.toLine.push_back(lf);
    out.toLine.insert(out.toLine.end(), text.begin(), text.end());
    out.toLine.push_back(cr);
    out.toLine.push_back(lf);
}

void HayesModem::SendInfo(std::string_view text, Output& out) {
    log_("info: " + std::string(text));
    SendVerbose(text, out);
}

}  // namespace sim
