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
    std::string error;
    const auto again = sim::ParsePoints(sim::FormatPoints(defaults), error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(*again, defaults);

    const auto parsed = sim::ParsePoints(
        "# comment\r\n; also a comment\n\n  0x00ab = 1 ff 0A\t\n7=\nFFFF = 00\n", error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(*parsed,
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
        EXPECT_FALSE(sim::ParsePoints(text, error)) << text;
        EXPECT_NE(error.find(where), std::string::npos) << text << ": " << error;
    }
    // 253 value bytes fit a frame, 254 do not.
    std::string longest = "0300 =";
    for (int i = 0; i < 253; ++i) longest += " 00";
    EXPECT_TRUE(sim::ParsePoints(longest, error)) << error;
    EXPECT_FALSE(sim::ParsePoints(longest + " 00", error));
}

TEST(SimDataFile, AFailedWriteKeepsTheOldValueEverywhere) {
    TempDir dir;
    const std::filesystem::path folder = dir / "points";
    std::filesystem::create_directory(folder);
    const std::filesystem::path file = folder / "points.txt";
    sim::DataTable table;
    std::string error;
    ASSERT_TRUE(table.Open(file, error)) << error;
    ASSERT_TRUE(table.Store(0x0102, {0x01}, error)) << error;

    // The folder goes away: the file cannot be replaced any more.
    std::filesystem::remove_all(folder);
    EXPECT_FALSE(table.Store(0x0102, {0x02}, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(*table.Find(0x0102), sim::Value{0x01});
    EXPECT_FALSE(table.Store(0x4444, {0x02}, error)) << "only existing points are written";
}

TEST(SimDataFile, AWrittenValueSurvivesARestart) {
    TempDir dir;
    const std::string file = (dir / "points.txt").string();
    {
        SimProcess sim({"--data", file});
        ASSERT_TRUE(sim.Started()) << sim.Error();
        // Created with the default set.
        std::string error;
        const auto created = sim::ParsePoints(ReadFile(file), error);
        ASSERT_TRUE(created) << error;
        EXPECT_EQ(*created, sim::DefaultPoints());

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
            std::string error;
            const auto points = sim::ParsePoints(ReadFile(file), error);
            if (!points || points->size() != sim::DefaultPoints().size()) ++broken;
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
