#include "sim_loop.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "sim_signals.h"

namespace sim {

SimLoop::SimLoop(LineEndpoint& line, LinePacer& pacer, Controller& controller, const Trace& trace,
                 HayesModem* modem, std::chrono::milliseconds turnaround)
    : line_(line),
      pacer_(pacer),
      controller_(controller),
      trace_(trace),
      modem_(modem),
      turnaround_(turnaround) {}

void SimLoop::Run() {
    std::array<std::uint8_t, 512> buffer{};
    while (!StopRequested()) {
        OnPlugRequest();
        const std::size_t n = line_.Read(buffer, NextDeadline());
        const Clock::time_point now = Clock::now();
        for (std::size_t i = 0; i < n && !StopRequested(); ++i) OnLineByte(buffer[i], now);
        RunTimers(Clock::now());
    }
}

void SimLoop::OnPlugRequest() {
    const PlugRequest request = TakePlugRequest();
    if (request == PlugRequest::kVanish) {
        if (!line_.Vanish()) {
            trace_.Line("only a pseudo-terminal can be pulled out; ignored");
            return;
        }
        // Whatever was under way goes with the line, as in a device that loses its power.
        assembler_ = RequestAssembler{};
        if (modem_ != nullptr) modem_->Reset();
        trace_.Line("line pulled out");
        std::printf("device: gone\n");
    } else if (request == PlugRequest::kReturn && !line_.Present()) {
        if (const auto back = line_.Return(); !back.Ok()) {
            std::fprintf(stderr, "vr620-sim: %s\n", back.Why().words.c_str());
            return;
        }
        trace_.Line("line plugged back in at " + line_.Path());
        std::printf("device: %s\n", line_.Path().c_str());
    }
    std::fflush(stdout);
}

std::optional<Clock::time_point> SimLoop::NextDeadline() const {
    std::optional<Clock::time_point> until = assembler_.Deadline();
    if (modem_ != nullptr) {
        if (const auto d = modem_->NextDeadline()) until = until ? std::min(*until, *d) : *d;
    }
    return until;
}

void SimLoop::RunTimers(Clock::time_point now) {
    if (assembler_.Expire(now)) trace_.Frame("rx (stalled, dropped)", assembler_.Raw());
    if (modem_ != nullptr) {
        HayesModem::Output out;
        modem_->Tick(now, out);
        Carry(out, now);
    }
}

void SimLoop::OnLineByte(std::uint8_t byte, Clock::time_point now) {
    if (modem_ == nullptr) {
        OnControllerByte(byte, now);
        return;
    }
    HayesModem::Output out;
    modem_->Feed(byte, now, out);
    Carry(out, now);
}

void SimLoop::Carry(HayesModem::Output& out, Clock::time_point now) {
    if (!out.toLine.empty()) {
        // A lone byte is the echo of a command character; the command itself is traced whole.
        if (out.toLine.size() > 1) trace_.Line("modem tx " + Printable(out.toLine));
        pacer_.Send(out.toLine);
    }
    for (std::uint8_t b : out.toController) OnControllerByte(b, now);
}

void SimLoop::OnControllerByte(std::uint8_t byte, Clock::time_point now) {
    const auto frame = assembler_.Feed(byte, now);
    if (const std::size_t skipped = assembler_.TakeSkipped(); skipped > 0 && trace_.Enabled()) {
        trace_.Line("rx " + Hex(std::span<const std::uint8_t>(&byte, 1)) +
                    " (not a start byte, passed over)");
    }
    if (!frame) return;
    trace_.Frame("rx", assembler_.Raw());
    const Reply reply = controller_.Answer(*frame);
    if (reply.bytes.empty()) {
        trace_.Line("tx (nothing)");
        return;
    }
    pacer_.Pause(turnaround_);
    if (modem_ != nullptr && !modem_->DataMode()) {
        trace_.Line("reply dropped: the modem has left data mode");
        return;
    }
    trace_.Frame("tx", reply.bytes);
    pacer_.Send(reply.bytes, reply.byteGap);
}

}  // namespace sim
