// The data-point table: its file format, and that a value written survives a restart and the
// file is never seen half written.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "data_table.h"
#include "sim_fixture.h"
#include "temp_dir.h"

namespace vr620_test {
namespace {

TEST(SimDataFile, ParsesWhatItWritesAndNamesTheBadLine) {
    const sim::PointMap defaults = sim::DefaultPoints();
    const auto again = sim::ParsePoints(sim::FormatPoints(defaults));
    ASSERT_TRUE(again.Ok()) << again.Why().words;
    EXPECT_EQ(again.Value(), defaults);

    const auto parsed =
        sim::ParsePoints("# comment\r\n; also a comment\n\n  0x00ab = 1 ff 0A\t\n7=\nFFFF = 00\n");
    ASSERT_TRUE(parsed.Ok()) << parsed.Why().words;
    EXPECT_EQ(parsed.Value(),
              (sim::PointMap{{0x00AB, {0x01, 0xFF, 0x0A}}, {0x0007, {}}, {0xFFFF, {0x00}}}));

    const std::vector<std::pair<std::string, std::string>> bad{
        {"0001 = 01\n0002 02\n", "line 2"},
        {"12345 = 00\n", "line 1"},
        {"0001 = 100\n", "line 1"},
        {"0001 = 0G\n", "line 1"},
        {"0001 = 01\n\n0001 = 02\n", "line 3"},
        {" = 01\n", "line 1"},
    };
    for (const auto& [text, where] : bad) {
        const auto refused = sim::ParsePoints(text);
        ASSERT_FALSE(refused.Ok()) << text;
        EXPECT_NE(refused.Why().words.find(where), std::string::npos)
            << text << ": " << refused.Why().words;
    }
    // 253 value bytes fit a frame, 254 do not.
    std::string longest = "0300 =";
    for (int i = 0; i < 253; ++i) longest += " 00";
    EXPECT_TRUE(sim::ParsePoints(longest).Ok());
    EXPECT_FALSE(sim::ParsePoints(longest + " 00").Ok());
}

TEST(SimDataFile, AFailedWriteKeepsTheOldValueEverywhere) {
    TempDir dir;
    const std::filesystem::path folder = dir / "points";
    std::filesystem::create_directory(folder);
    const std::filesystem::path file = folder / "points.txt";
    sim::DataTable table;
    const auto opened = table.Open(file);
    ASSERT_TRUE(opened.Ok()) << opened.Why().words;
    const auto stored = table.Store(0x0102, {0x01});
    ASSERT_TRUE(stored.Ok()) << stored.Why().words;

    // The folder goes away: the file cannot be replaced any more.
    std::filesystem::remove_all(folder);
    const auto lost = table.Store(0x0102, {0x02});
    ASSERT_FALSE(lost.Ok());
    EXPECT_FALSE(lost.Why().words.empty());
    EXPECT_EQ(*table.Find(0x0102), sim::Value{0x01});
    EXPECT_FALSE(table.Store(0x4444, {0x02}).Ok()) << "only existing points are written";
}

TEST(SimDataFile, AWrittenValueSurvivesARestart) {
    TempDir dir;
    const std::string file = (dir / "points.txt").string();
    {
        SimProcess sim({"--data", file});
        ASSERT_TRUE(sim.Started()) << sim.Error();
        // Created with the default set.
        const auto created = sim::ParsePoints(ReadFile(file));
        ASSERT_TRUE(created.Ok()) << created.Why().words;
        EXPECT_EQ(created.Value(), sim::DefaultPoints());

        LineEnd port(sim.DevicePath());
        EXPECT_EQ(Ask(port, BuildRequest(0x82, 0x0102, {0x01, 0x02, 0x03})),
                  BuildRequest(0x82, 0x0102));
        EXPECT_NE(ReadFile(file).find("0102 = 01 02 03\n"), std::string::npos);
        // Killed, not stopped: the value was on disk before the reply went out.
        kill(sim.Pid(), SIGKILL);
    }
    SimProcess sim({"--data", file});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    LineEnd port(sim.DevicePath());
    EXPECT_EQ(Ask(port, BuildRequest(0x81, 0x0102)),
              BuildRequest(0x80, 0x0102, {0x01, 0x02, 0x03}));
    EXPECT_EQ(Ask(port, BuildRequest(0x81, 0x0001)), BuildRequest(0x80, 0x0001, {0x01}));
}

TEST(SimDataFile, TheFileIsNeverSeenHalfWritten) {
    TempDir dir;
    const std::filesystem::path file = dir / "points.txt";
    SimProcess sim({"--data", file.string(), "--baud", "115200", "--turnaround", "0"});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    LineEnd port(sim.DevicePath());

    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> broken{0};
    std::thread reader([&] {
        while (!done) {
            const auto points = sim::ParsePoints(ReadFile(file));
            if (!points.Ok() || points.Value().size() != sim::DefaultPoints().size()) ++broken;
            ++reads;
        }
    });
    for (int i = 0; i < 60; ++i) {
        // Long values make a torn file likely if it were written in place.
        const Bytes value(200, static_cast<std::uint8_t>(i));
        EXPECT_EQ(Ask(port, BuildRequest(0x82, 0x0300, value)), BuildRequest(0x82, 0x0300));
    }
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(broken.load(), 0);
    EXPECT_EQ(Ask(port, BuildRequest(0x81, 0x0300)), BuildRequest(0x80, 0x0300, Bytes(200, 59)));
}

TEST(SimDataFile, ABadFileStopsTheStartWithTheLineNamed) {
    TempDir dir;
    const std::filesystem::path file = dir / "points.txt";
    const std::filesystem::path log = dir / "stderr.txt";
    WriteFile(file, "0001 = 01\n0002 = zz\n");
    SimProcess sim({"--data", file.string()}, log.string());
    EXPECT_FALSE(sim.Started());
    EXPECT_TRUE(sim.Wait(milliseconds(0)));
    EXPECT_EQ(sim.ExitCode(), 1) << sim.Status();
    EXPECT_NE(ReadFile(log).find("line 2"), std::string::npos) << ReadFile(log);
    EXPECT_EQ(ReadFile(file), "0001 = 01\n0002 = zz\n") << "a bad file is left as it was";
}

}  // namespace
}  // namespace vr620_test
