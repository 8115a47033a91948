// vr620-bench-read: round trips of one read (DCT_Write + DCT_Read) through a private copy of
// libducta.so against vr620-sim, at the line speeds given, beside the line time of the frames.
//
//     vr620-bench-read [--count N] [--point HEX] [--turnaround MS] [--sim PATH] [BAUD...]
//
// Defaults: 200 round trips of point 0102 (two data bytes) at 4800 and 9600 bit/s.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ducta.h"
#include "ducta_copy.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "whole_number.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    int count = 200;
    std::uint16_t point = 0x0102;
    int turnaroundMs = 5;
    std::string sim;
    std::vector<long> bauds;
};

// HEX with or without 0x, as the simulator's data file writes a point.
std::optional<int> ParsePoint(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    return common::ParseWholeNumber(text, 0, 0xFFFF, 16);
}

bool ParseOptions(int argc, char** argv, Options& o) {
    constexpr int kMax = std::numeric_limits<int>::max();
    o.sim = VR620_SIM_PATH;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        std::optional<int> number;
        if (a == "--count" && (number = common::ParseWholeNumber(value, 1, kMax))) {
            o.count = *number;
            ++i;
        } else if (a == "--point" && (number = ParsePoint(value))) {
            o.point = static_cast<std::uint16_t>(*number);
            ++i;
        } else if (a == "--turnaround" && (number = common::ParseWholeNumber(value, 0, kMax))) {
            o.turnaroundMs = *number;
            ++i;
        } else if (a == "--sim" && i + 1 < argc) {
            o.sim = argv[++i];
        } else if ((number = common::ParseWholeNumber(a, 1, kMax))) {
            o.bauds.push_back(*number);
        } else {
            std::fprintf(stderr,
                         "usage: vr620-bench-read [--count N] [--point HEX] [--turnaround MS] "
                         "[--sim PATH] [BAUD...]\n");
            return false;
        }
    }
    if (o.bauds.empty()) o.bauds = {4800, 9600};
    return true;
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const std::size_t i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// One line speed: a fresh simulator and a fresh library copy with its own DUCTA.INI.
bool Run(const Options& o, long baud) {
    vr620_test::SimProcess sim(
        o.sim, {"--baud", std::to_string(baud), "--turnaround", std::to_string(o.turnaroundMs)},
        {});
    if (!sim.Started()) {
        std::fprintf(stderr, "vr620-sim did not start: %s\n", sim.Error().c_str());
        return false;
    }
    vr620_test::TempDir dir;
    vr620_test::DuctaCopy lib(dir.Path());
    lib.WriteIni("[Ports]\r\nCOM1=" + sim.DevicePath() +
                 "\r\n[Direct]\r\nBaudRate=" + std::to_string(baud) + "\r\n");
    lib.module_open();
    if (lib.Open(0, 0, 0, nullptr, nullptr, nullptr, 0) != DCT_RESULT_OK) {
        std::fprintf(stderr, "DCT_Open failed at %ld bit/s\n", baud);
        lib.module_close();
        return false;
    }
    std::vector<double> ms;
    uint16_t replyLength = 0;
    int failures = 0;
    for (int i = 0; i < o.count + 5; ++i) {
        uint8_t data[DCT_READ_BUFFER_SIZE];
        uint8_t ok = 0;
        uint16_t length = 0;
        const auto start = Clock::now();
        lib.Write(0, 0, o.point, DCT_COMMAND_READ, nullptr, 0);
        const uint16_t r = lib.Read(0, 0, nullptr, nullptr, &ok, data, &length);
        const auto took = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (r != DCT_RESULT_OK) {
            ++failures;
            continue;
        }
        replyLength = length;
        if (i >= 5) ms.push_back(took);  // the first few warm up the simulator and the line
    }
    lib.Close(0, 0);
    lib.module_close();
    if (ms.empty()) {
        std::fprintf(stderr, "no successful round trip at %ld bit/s\n", baud);
        return false;
    }
    const int requestBytes = 6;
    const int replyBytes = replyLength + 6;
    const double bitMs = 1000.0 / static_cast<double>(baud);
    const double replyLine = replyBytes * 10 * bitMs;
    const double bothLine = (requestBytes + replyBytes) * 10 * bitMs;
    std::printf("%7ld  %5zu  %6.2f  %6.2f  %6.2f  %9.2f  %13.2f  %6.2f  %6d\n", baud, ms.size(),
                Percentile(ms, 0.5), Percentile(ms, 0.95), *std::max_element(ms.begin(), ms.end()),
                replyLine, bothLine, Percentile(ms, 0.5) - replyLine - o.turnaroundMs, failures);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) return 2;
    std::printf("round trips of DCT_Write + DCT_Read, point %04X, simulator turn-around %d ms\n",
                o.point, o.turnaroundMs);
    std::printf("                -- round trip, ms --   --- line time, ms ---\n");
    std::printf(
        "   baud  count  median     p95     max      reply  request+reply  excess  failed\n");
    bool ok = true;
    for (long baud : o.bauds) ok = Run(o, baud) && ok;
    std::printf(
        "excess = median - reply line time - turn-around (the simulator receives the\n"
        "request at once: a pseudo-terminal has no line speed of its own)\n");
    return ok ? 0 : 1;
}
