// The folding of repeated log lines on a clock of the test's own: what the real storm of the
// gateway test cannot show in its 10 s (the count once a minute, a run that goes quiet, many
// minutes of clients interleaved in changing orders), and which numbers are masked.
#include "line_folding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

using common::LineFolding;
using namespace std::chrono_literals;

// Feeds lines and keeps what is to be written, as the log writer does, waking for the count
// whenever it is due before the next line.
struct Log {
    LineFolding folding;
    LineFolding::Clock::time_point now{};
    std::vector<std::string> written;
    long counted = 0;

    void Take(const std::string& text) {
        if (!text.empty()) written.push_back(text);
        static const std::regex count(
            R"(.* \(the same (line|\d+ lines) again, ([\d,]+) lines? left out\)$)");
        std::smatch m;
        if (!text.empty() && std::regex_match(text, m, count)) {
            std::string n = m[2];
            std::erase(n, ',');
            counted += std::stol(n);
        }
    }
    void WaitUntil(LineFolding::Clock::time_point until) {
        while (const auto due = folding.CountDue()) {
            if (*due > until) break;
            now = *due;
            Take(folding.DueCount(now));
        }
        now = until;
    }
    void Line(const std::string& text, std::chrono::milliseconds after) {
        WaitUntil(now + after);
        LineFolding::Verdict v = folding.Add(text, now);
        Take(v.count);
        Take(v.held);
        if (v.write) written.push_back(text);
    }
    long WrittenLines() const {
        return static_cast<long>(written.size()) -
               static_cast<long>(
                   std::count_if(written.begin(), written.end(),
                                 [](const std::string& t) { return t.ends_with(" left out)"); }));
    }
};

TEST(LineFolding, InterleavedClientsFoldToACountAMinuteThatAddsUp) {
    Log log;
    std::mt19937 random(21);
    long made = 0;
    // Four clients for five minutes, a line every 5 ms, each client's next line in turn at
    // random; a client's socket number changes with every round.
    std::vector<int> step(4, 0), socket{7, 8, 9, 10};
    for (int i = 0; i < 60'000; ++i) {
        const int c = static_cast<int>(random() % 4);
        const std::string on = std::to_string(socket[c]);
        const std::string lines[] = {
            "Client on " + on + " connected",
            "DEVICE_CONNECT command received from client on " + on + " -> ERROR",
            "Device on COM1: port /dev/ttyUSB0 missing", "Client on " + on + " disconnected"};
        log.Line(lines[step[c]], 5ms);
        ++made;
        if (++step[c] == 4) {
            step[c] = 0;
            socket[c] += 4;
        }
    }
    // After the first rounds, a count a minute: four in five minutes, the fifth still running.
    EXPECT_LE(log.written.size(), 30u);
    EXPECT_EQ(
        std::count_if(log.written.begin(), log.written.end(),
                      [](const std::string& t) { return t.ends_with(",000 lines left out)"); }),
        4);
    const std::size_t storm = log.written.size();

    // A success ends the run at once: the count, the line held, the success.
    log.Line("SNVT_READ command received from client on 7 -> OK", 5ms);
    ++made;
    ASSERT_EQ(log.written.size(), storm + 3);
    EXPECT_TRUE(log.written[storm].ends_with(" lines left out)")) << log.written[storm];
    EXPECT_EQ(log.written.back(), "SNVT_READ command received from client on 7 -> OK");

    // The storm again, a little, then quiet: its count comes kRecent after its last line, and a
    // line much later is written whole.
    for (int i = 0; i < 100; ++i, ++made)
        log.Line("Client on " + std::to_string(11 + i) + " connected", 5ms);
    const std::size_t before = log.written.size();
    log.WaitUntil(log.now + LineFolding::kRecent);
    EXPECT_EQ(log.written.size(), before + 1);
    log.Line("Client on 5 connected", 5min);
    ++made;
    EXPECT_EQ(log.written.back(), "Client on 5 connected");
    EXPECT_EQ(log.WrittenLines() + log.counted, made);
}

TEST(LineFolding, OnlyTheNumberAfterOnIsMasked) {
    EXPECT_EQ(LineFolding::Shape("Client on 17 from 10.0.0.2 refused on 3"),
              "Client on # from 10.0.0.2 refused on #");
    for (const char* same : {"Device on COM12: port /dev/pts/7 lost", "ducta: COM3 moon 45",
                             "upon 5 seconds", "on  7"})
        EXPECT_EQ(LineFolding::Shape(same), same);
    Log log;
    log.Line("Device on COM1: port /dev/pts/7 lost", 1ms);
    log.Line("Device on COM1: port /dev/pts/8 lost", 1ms);
    log.Line("Device on COM2: port /dev/pts/7 lost", 1ms);
    EXPECT_EQ(log.written.size(), 3u);
}

}  // namespace
