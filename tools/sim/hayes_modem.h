// A Hayes-style modem in front of the simulated controller. Command mode: characters are
// echoed (until ATE0), an AT line ends with a carriage return and is answered with a result
// code. A dial answers after a delay and switches to data mode, where bytes go to the
// controller; "+++" between two guard times of silence returns to command mode.
//
// The modem is pure logic: the caller feeds it bytes with the time they arrived, runs Tick at
// NextDeadline, and carries out the Output (bytes for the line, bytes for the controller).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "modem_options.h"

namespace sim {

class HayesModem {
  public:
    using Clock = std::chrono::steady_clock;
    using Log = std::function<void(std::string_view)>;

    struct Output {
        std::vector<std::uint8_t> toLine;        // echo, results
        std::vector<std::uint8_t> toController;  // data mode bytes
        void Clear() {
            toLine.clear();
            toController.clear();
        }
    };

    HayesModem(ModemOptions options, Log log);
    // Back to the state at power-on (stored profile included).
    void Reset() { *this = HayesModem(options_, log_); }

    void Feed(std::uint8_t byte, Clock::time_point now, Output& out);
    void Tick(Clock::time_point now, Output& out);
    std::optional<Clock::time_point> NextDeadline() const;

    // Controller replies reach the line only in data mode.
    bool DataMode() const { return state_ == State::kData; }
    bool Connected() const { return connected_; }

  private:
    enum class State { kCommand, kDialing, kData };
    enum class Result { kOk, kConnect, kRing, kNoCarrier, kError, kNoDial, kBusy, kNoAnswer };

    struct Profile {
        bool echo = true;
        bool verbose = true;
        bool quiet = false;
        std::array<std::uint8_t, 256> registers{};
        std::chrono::milliseconds guard{1000};
    };

    Profile Factory() const;
    void FeedCommand(std::uint8_t byte, Clock::time_point now, Output& out);
    void FeedData(std::uint8_t byte, Clock::time_point now, Output& out);
    void ExecuteLine(Clock::time_point now, Output& out);
    // Runs the commands after "AT"; nullopt when a command leaves the result for later.
    std::optional<Result> Execute(std::string_view commands, Clock::time_point now, Output& out);
    void FinishDial(Clock::time_point now, Output& out);
    void HangUp();

    void SendResult(Result result, Output& out);
    void SendVerbose(std::string_view text, Output& out);
    void SendInfo(std::string_view text, Output& out);
    void FlushHeldEscape(Output& out);

    ModemOptions options_;
    Log log_;
    Profile active_;
    Profile stored_;
    State state_ = State::kCommand;
    bool connected_ = false;

    std::string line_;
    bool lineOverflow_ = false;

    Clock::time_point dialDue_{};
    std::string dialNumber_;

    // Escape detection in data mode.
    Clock::time_point lastRx_{};
    int escapeCount_ = 0;
    std::vector<std::uint8_t> heldEscape_;
};

}  // namespace sim
