// The connection log writer: stamp, format, the line bound, attach and detach, per-thread order.
#include "log_writer.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "gateway_harness.h"

namespace {

using gateway::SetLogWindow;
using gateway::WriteLogLine;
using gateway_test::CollectingReceiver;

class LogWriter : public ::testing::Test {
  protected:
    void TearDown() override { SetLogWindow(nullptr); }
    CollectingReceiver receiver;
};

TEST(LogStamp, DayMonthYearAndTimeWithLeadingZerosAndTwoBlanks) {
    std::tm when{};
    when.tm_mday = 1;
    when.tm_mon = 1;  // February
    when.tm_year = 2026 - 1900;
    when.tm_hour = 9;
    when.tm_min = 5;
    when.tm_sec = 3;
    char stamp[32];
    gateway::FormatLogStamp(when, stamp, sizeof stamp);
    EXPECT_STREQ(stamp, "01.02.2026 09:05:03  ");
    EXPECT_EQ(std::string(stamp).size(), gateway::kLogStampLength);
}

TEST_F(LogWriter, DetachedLinesAreDroppedAndNeverDeliveredLater) {
    EXPECT_EQ(WriteLogLine("lost %d", 1), 0);
    SetLogWindow(&receiver);
    auto texts = receiver.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Log window activated (0x00c0ffee)");
    SetLogWindow(nullptr);
    EXPECT_EQ(WriteLogLine("also lost"), 0);
    EXPECT_EQ(receiver.Lines().size(), 1u);
}

TEST_F(LogWriter, LineIsStampThenFormattedText) {
    SetLogWindow(&receiver);
    EXPECT_EQ(WriteLogLine("Client on %d connected", 7), 21);
    EXPECT_EQ(WriteLogLine("Exiting server thread..."), 24);
    auto lines = receiver.Lines();
    ASSERT_EQ(lines.size(), 3u);
    std::regex stamped(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d  Client on 7 connected)");
    EXPECT_TRUE(std::regex_match(lines[1], stamped)) << lines[1];
    EXPECT_EQ(lines[2].substr(21), "Exiting server thread...");
}

TEST_F(LogWriter, TextLongerThanTheLineIsCutToFit) {
    SetLogWindow(&receiver);
    std::string longText(3000, 'x');
    int stored = WriteLogLine("%s", longText.c_str());
    auto lines = receiver.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].size(), gateway::kLogLineSize - 1);
    EXPECT_EQ(stored, static_cast<int>(gateway::kLogLineSize - 1 - gateway::kLogStampLength));
    // Exactly the space left fits uncut.
    std::string fits(gateway::kLogLineSize - 1 - gateway::kLogStampLength, 'y');
    EXPECT_EQ(WriteLogLine("%s", fits.c_str()), static_cast<int>(fits.size()));
    EXPECT_EQ(receiver.Lines()[2].substr(21), fits);
}

TEST_F(LogWriter, LinesOfEachThreadKeepTheirOrder) {
    SetLogWindow(&receiver);
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) WriteLogLine("thread %d line %d", t, i);
        });
    }
    for (auto& th : threads) th.join();
    std::vector<int> next(kThreads, 0);
    int total = 0;
    for (const auto& text : receiver.Texts()) {
        int t = 0;
        int i = 0;
        if (std::sscanf(text.c_str(), "thread %d line %d", &t, &i) != 2) continue;
        EXPECT_EQ(i, next[t]) << "thread " << t;
        next[t] = i + 1;
        ++total;
    }
    EXPECT_EQ(total, kThreads * kLines);
}

}  // namespace
