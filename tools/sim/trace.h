// The --verbose trace on standard error: one line per frame, command and result, stamped with
// the seconds since the simulator started.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sim {

// "02 81 02 01 02 86"
std::string Hex(std::span<const std::uint8_t> bytes);
// Control characters shown as <CR>, <LF> or <xx>, so that modem texts stay on one line.
std::string Printable(std::span<const std::uint8_t> bytes);

class Trace {
  public:
    explicit Trace(bool enabled);
    bool Enabled() const { return enabled_; }
    void Line(std::string_view text) const;
    void Frame(std::string_view direction, std::span<const std::uint8_t> bytes) const;

  private:
    bool enabled_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace sim
