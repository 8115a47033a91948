// The simulator's serving loop: bytes from the line go (through the modem, when there is one)
// to the request assembler; each complete request is answered by the controller after the
// turn-around, paced at the line speed.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "controller.h"
#include "hayes_modem.h"
#include "line_endpoint.h"
#include "line_pacer.h"
#include "request_assembler.h"
#include "trace.h"

namespace sim {

class SimLoop {
  public:
    SimLoop(LineEndpoint& line, LinePacer& pacer, Controller& controller, const Trace& trace,
            HayesModem* modem, std::chrono::milliseconds turnaround);

    // Serves until a stop signal arrives; pulls the line out and plugs it back in on the plug
    // signals.
    void Run();

  private:
    using Clock = std::chrono::steady_clock;
    void OnPlugRequest();
    void OnLineByte(std::uint8_t byte, Clock::time_point now);
    void OnControllerByte(std::uint8_t byte, Clock::time_point now);
    void Carry(HayesModem::Output& out, Clock::time_point now);
    void RunTimers(Clock::time_point now);
    // When the next timer is due; none while nothing is under way.
    std::optional<Clock::time_point> NextDeadline() const;

    LineEndpoint& line_;
    LinePacer& pacer_;
    Controller& controller_;
    const Trace& trace_;
    HayesModem* modem_;
    std::chrono::milliseconds turnaround_;
    RequestAssembler assembler_;
};

}  // namespace sim
