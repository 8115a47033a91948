// What an operation came to, as it crosses from one layer to the next: its value, or why it
// failed. A failure carries its kind, for the code that has to act on it, and its words, for the
// person who reads the log; both are decided once, where the failure is understood, and travel
// with the result instead of being asked for afterwards.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace common {

enum class FailureKind {
    kNotConnected,     // the device is not open
    kNoReply,          // the device did not answer in time
    kDamagedReply,     // a reply came, damaged
    kRefusedByDevice,  // a reply came, refusing the request
    kRefused,          // a value is refused: the request cannot be carried (a value too long,
                       // a short request), or the port turns its line settings away
    kPortMissing,      // the port's device is not there
    kPortLost,         // the port went away (an adapter pulled out, a hang-up)
    kPortInUse,        // another program holds the port
    kNotSerial,        // the device is no usable serial line
    kPortStalled,      // the line stopped taking bytes
    kModem,            // the modem answered something else than it should have
    kModemLost,        // the modem's connection went away
    kUnreachable,      // another gateway cannot be reached (a relay's upstream)
    kTlsRefused,       // a TLS handshake did not end well (a certificate not trusted, ...)
    kOther,            // anything else the system or the library reported
};

struct Failure {
    FailureKind kind = FailureKind::kOther;
    std::string words;  // "port /dev/ttyUSB0 lost", "no reply", ...
};

// The value of an outcome that carries none.
struct Done {};

template <typename T = Done>
class [[nodiscard]] Outcome {
  public:
    Outcome(T value) : state_(std::move(value)) {}
    Outcome(Failure failure) : state_(std::move(failure)) {}

    bool Ok() const { return std::holds_alternative<T>(state_); }
    // Only when Ok().
    const T& Value() const { return std::get<T>(state_); }
    T& Value() { return std::get<T>(state_); }
    // Only when not Ok().
    const Failure& Why() const { return std::get<Failure>(state_); }

  private:
    std::variant<T, Failure> state_;
};

}  // namespace common
