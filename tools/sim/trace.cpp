#include "trace.h"

#include <cstdio>

#include "debug_line.h"

namespace sim {

std::string Hex(std::span<const std::uint8_t> bytes) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", b);
        out += buf;
    }
    return out;
}

std::string Printable(std::span<const std::uint8_t> bytes) {
    std::string out;
    char buf[8];
    for (std::uint8_t b : bytes) {
        if (b == '\r') {
            out += "<CR>";
        } else if (b == '\n') {
            out += "<LF>";
        } else if (b < 0x20 || b >= 0x7F) {
            std::snprintf(buf, sizeof buf, "<%02X>", b);
            out += buf;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

Trace::Trace(bool enabled) : enabled_(enabled), start_(std::chrono::steady_clock::now()) {}

void Trace::Line(std::string_view text) const {
    if (!enabled_) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char head[32];
    std::snprintf(head, sizeof head, "vr620-sim [%9.3f] ", seconds);
    common::WriteDebugLine(head + std::string(text));
}

void Trace::Frame(std::string_view direction, std::span<const std::uint8_t> bytes) const {
    if (!enabled_) return;
    Line(std::string(direction) + " " + Hex(bytes));
}

}  // namespace sim
