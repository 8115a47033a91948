// The simulated controller over a real pseudo-terminal: every request kind, every fault point,
// the pacing of replies and the program's life cycle.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "sim_fixture.h"
#include "temp_dir.h"

namespace vr620_test {
namespace {

using std::chrono::duration_cast;

using SimController = SimTest;

TEST_F(SimController, AnswersReadsAndWritesOfKnownPoints) {
    StartSim();
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x0102)),
              (Bytes{0x02, 0x80, 0x04, 0x01, 0x02, 0xAA, 0xBB, 0xEC}));
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x0001)), BuildRequest(0x80, 0x0001, {0x01}));
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x0200)), BuildRequest(0x80, 0x0200));

    // A write is acknowledged without data, and the value (even of another length) is kept.
    EXPECT_EQ(Ask(BuildRequest(0x82, 0x0010, {0x12, 0x34})),
              (Bytes{0x02, 0x82, 0x02, 0x00, 0x10, 0x94}));
    EXPECT_EQ(Ask(BuildRequest(0x82, 0x0010, {0x01, 0x02, 0x03})), BuildRequest(0x82, 0x0010));
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x0010)), BuildRequest(0x80, 0x0010, {0x01, 0x02, 0x03}));
    EXPECT_EQ(Ask(BuildRequest(0x82, 0x0200, {0x7F})), BuildRequest(0x82, 0x0200));
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x0200)), BuildRequest(0x80, 0x0200, {0x7F}));

    // The longest value a frame can carry.
    const Bytes longest = Ask(BuildRequest(0x81, 0x0300));
    ASSERT_EQ(longest.size(), ducta::kMaxFrameSize);
    EXPECT_EQ(longest[2], 255);
    EXPECT_EQ(longest[5 + 252], 252);
}

TEST_F(SimController, RefusesUnknownPointsAndCommandsWithBitZeroSet) {
    StartSim();
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x4444)), BuildRequest(0x81, 0x4444));
    EXPECT_EQ(Ask(BuildRequest(0x82, 0x4444, {0x01})), BuildRequest(0x83, 0x4444));
    EXPECT_EQ(Ask(BuildRequest(0x90, 0x0102)), BuildRequest(0x91, 0x0102));
    EXPECT_EQ(Ask(BuildRequest(0x80, 0x0102, {0x01})), BuildRequest(0x81, 0x0102));
    // A refused write stored nothing.
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x4444)), BuildRequest(0x81, 0x4444));
}

TEST_F(SimController, PassesOverNoiseAndIgnoresBrokenRequests) {
    StartSim();
    Bytes noisy{0xFF, 0x13, 0x00};
    const Bytes read = BuildRequest(0x81, 0x0102);
    noisy.insert(noisy.end(), read.begin(), read.end());
    EXPECT_EQ(Ask(noisy), BuildRequest(0x80, 0x0102, {0xAA, 0xBB}));

    Bytes badSum = BuildRequest(0x82, 0x0102, {0x00, 0x00});
    badSum.back() ^= 0x01;
    port_->Send(badSum);
    EXPECT_TRUE(port_->ReadFor(milliseconds(300)).empty());
    // Nothing was stored from the broken write.
    EXPECT_EQ(Ask(read), BuildRequest(0x80, 0x0102, {0xAA, 0xBB}));

    // Half a request, then silence: it is dropped, and the next request is answered.
    port_->Send(std::span(read).first(3));
    EXPECT_TRUE(port_->ReadFor(milliseconds(700)).empty());
    EXPECT_EQ(Ask(read), BuildRequest(0x80, 0x0102, {0xAA, 0xBB}));
}

struct FaultCase {
    std::uint16_t point;
    Bytes readReply;   // expected answer to a read, all bytes within the wait
    Bytes writeReply;  // expected answer to a write
};

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(SimController, FaultPointsMisbehaveAsDocumented) {
    StartSim();
    const Bytes okRead3 = BuildRequest(0x80, 0xFF03, {0xFF, 0x03});
    Bytes badSum = BuildRequest(0x80, 0xFF02, {0xFF, 0x02});
    badSum.back() = static_cast<std::uint8_t>(badSum.back() + 1);
    Bytes badSumWrite = BuildRequest(0x82, 0xFF02);
    badSumWrite.back() = static_cast<std::uint8_t>(badSumWrite.back() + 1);
    const std::vector<FaultCase> cases{
        {0xFF02, badSum, badSumWrite},
        {0xFF03, Cat({0xFF, 0x00, 0x55, 0xAA, 0x13}, okRead3),
         Cat({0xFF, 0x00, 0x55, 0xAA, 0x13}, BuildRequest(0x82, 0xFF03))},
        {0xFF04, Cat({0x02}, BuildRequest(0x80, 0xFF04, {0xFF, 0x04})),
         Cat({0x02}, BuildRequest(0x82, 0xFF04))},
        {0xFF06, {0x02, 0x80, 0x00, 0x80}, {0x02, 0x82, 0x00, 0x82}},
        {0xFF07, {0x02, 0x80, 0x01, 0xFF, 0x80}, {0x02, 0x82, 0x01, 0xFF, 0x82}},
        {0xFF08, BuildRequest(0x81, 0xFF08, {0xFF, 0x08}), BuildRequest(0x83, 0xFF08)},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.point);
        port_->Send(BuildRequest(0x81, c.point));
        EXPECT_EQ(port_->Receive(c.readReply.size()), c.readReply);
        EXPECT_TRUE(port_->ReadFor(milliseconds(100)).empty()) << "nothing more after the reply";
        port_->Send(BuildRequest(0x82, c.point, {0x11}));
        EXPECT_EQ(port_->Receive(c.writeReply.size()), c.writeReply);
    }

    // Silence, for a read and a write alike.
    port_->Send(BuildRequest(0x81, 0xFF01));
    EXPECT_TRUE(port_->ReadFor(milliseconds(500)).empty());
    port_->Send(BuildRequest(0x82, 0xFF01, {0x11}));
    EXPECT_TRUE(port_->ReadFor(milliseconds(500)).empty());

    // Slow pieces: a valid reply, with long pauses between its bytes.
    port_->Send(BuildRequest(0x81, 0xFF05));
    const Bytes slow = port_->Receive(8);
    EXPECT_EQ(slow, BuildRequest(0x80, 0xFF05, {0xFF, 0x05}));
    ASSERT_EQ(port_->Arrivals().size(), 8u);
    const auto spread = port_->Arrivals().back() - port_->Arrivals().front();
    EXPECT_GE(duration_cast<milliseconds>(spread).count(), 7 * 30);

    // Writes to fault points are never stored.
    EXPECT_EQ(Ask(BuildRequest(0x81, 0xFF08)), BuildRequest(0x81, 0xFF08, {0xFF, 0x08}));
}

TEST_F(SimController, RepliesTakeTheLineTimeOfTheirBytes) {
    StartSim({"--baud", "4800", "--turnaround", "5"});
    // A 10-byte reply at 4800 bit/s needs about 21 ms of line time.
    const Bytes request = BuildRequest(0x81, 0x0003);
    Ask(request);  // the first exchange may include the program's warm-up
    port_->Send(request);
    const Clock::time_point sent = Clock::now();
    EXPECT_EQ(port_->ReadFrame().size(), 10u);
    const auto took = duration_cast<milliseconds>(port_->LastByteAt() - sent).count();
    EXPECT_GE(took, 15);
    // Bytes arrive spread over the reply, not in one lump.
    const auto spread = port_->Arrivals().back() - port_->Arrivals().front();
    EXPECT_GE(duration_cast<milliseconds>(spread).count(), 12);

    // The longest reply: 259 bytes are about 540 ms at 4800 bit/s.
    port_->Send(BuildRequest(0x81, 0x0300));
    const Clock::time_point sentLong = Clock::now();
    EXPECT_EQ(port_->ReadFrame().size(), ducta::kMaxFrameSize);
    EXPECT_GE(duration_cast<milliseconds>(port_->LastByteAt() - sentLong).count(), 480);
}

TEST_F(SimController, TurnaroundDelaysTheFirstByte) {
    StartSim({"--baud", "115200", "--turnaround", "150"});
    port_->Send(BuildRequest(0x81, 0x0001));
    const Clock::time_point sent = Clock::now();
    EXPECT_EQ(port_->ReadFrame().size(), 7u);
    EXPECT_GE(duration_cast<milliseconds>(port_->Arrivals().front() - sent).count(), 140);
}

TEST_F(SimController, KeepsServingWhenThePortIsClosedAndReopened) {
    StartSim();
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x0001)).size(), 7u);
    for (int i = 0; i < 3; ++i) {
        port_.reset();
        // A reply the other side never read is discarded by the next open.
        port_.emplace(sim_->DevicePath());
        ASSERT_TRUE(port_->IsOpen());
        EXPECT_EQ(Ask(BuildRequest(0x81, 0x0102)), BuildRequest(0x80, 0x0102, {0xAA, 0xBB}));
    }
}

TEST_F(SimController, VerboseTracesEveryFrameInHex) {
    TempDir dir;
    const std::string log = (dir / "trace.txt").string();
    sim_.emplace(std::vector<std::string>{"--verbose"}, log);
    ASSERT_TRUE(sim_->Started()) << sim_->Error();
    port_.emplace(sim_->DevicePath());
    Ask(BuildRequest(0x81, 0x0102));
    Ask(BuildRequest(0x81, 0xFF08));
    EXPECT_TRUE(WIFEXITED(sim_->Stop()));
    const std::string trace = ReadFile(log);
    EXPECT_NE(trace.find("rx 02 81 02 01 02 86"), std::string::npos) << trace;
    EXPECT_NE(trace.find("tx 02 80 04 01 02 AA BB EC"), std::string::npos) << trace;
    EXPECT_NE(trace.find("fault point"), std::string::npos) << trace;
}

TEST(SimProgram, KeepsALinkToThePtyWhileItRuns) {
    TempDir dir;
    const std::filesystem::path link = dir / "ttyVR620";
    {
        SimProcess sim({"--link", link.string()});
        ASSERT_TRUE(sim.Started()) << sim.Error();
        ASSERT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.DevicePath());
        LineEnd port(link.string());
        port.Send(BuildRequest(0x81, 0x0001));
        EXPECT_EQ(port.ReadFrame(), BuildRequest(0x80, 0x0001, {0x01}));
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

    // Something that is not a link is never replaced.
    WriteFile(link, "keep me");
    SimProcess refused({"--link", link.string()});
    EXPECT_FALSE(refused.Started());
    EXPECT_EQ(ReadFile(link), "keep me");
}

TEST(SimProgram, EndsCleanlyOnSignalsAndRefusesBadCommandLines) {
    // Also when started by a parent that has them blocked (the mask is inherited); a build
    // service did that, and the simulator never saw its SIGINT.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    for (const bool blocked : {false, true}) {
        for (int sig : {SIGTERM, SIGINT}) {
            sigset_t before;
            pthread_sigmask(SIG_BLOCK, blocked ? &stops : nullptr, &before);
            SimProcess sim({});
            pthread_sigmask(SIG_SETMASK, &before, nullptr);
            ASSERT_TRUE(sim.Started()) << sim.Error();
            sim.Signal(sig);
            ASSERT_TRUE(sim.Wait())
                << "signal " << sig << (blocked ? ", blocked by the parent" : "");
            ASSERT_TRUE(WIFEXITED(sim.Status())) << sim.Status();
            EXPECT_EQ(WEXITSTATUS(sim.Status()), 0);
        }
    }
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--baud", "0"},
                                               {"--baud", "12x"},
                                               {"--turnaround"},
                                               {"--bogus"},
                                               {"--dial-delay", "10"},
                                               {"--modem", "--dial-result", "MAYBE"},
                                               {"--device", "/nonexistent/tty"}}) {
        SimProcess sim(args);
        EXPECT_FALSE(sim.Started());
        EXPECT_TRUE(sim.Wait(milliseconds(0)));
        EXPECT_TRUE(WIFEXITED(sim.Status()) && WEXITSTATUS(sim.Status()) != 0) << args[0];
    }
}

TEST(SimProgram, HelpDocumentsEveryFaultPointAndModemOption) {
    std::string help;
    FILE* pipe = popen((std::string(VR620_SIM_PATH) + " --help").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buf[512];
    while (std::fgets(buf, sizeof buf, pipe) != nullptr) help += buf;
    EXPECT_EQ(pclose(pipe), 0);
    for (const char* needle :
         {"FF01",          "FF02",           "FF03",         "FF04",         "FF05",
          "FF06",          "FF07",           "FF08",         "0102 = AA BB", "--dial-delay",
          "--dial-result", "--connect-text", "--banner",     "--lowercase",  "--guard-ms",
          "--link",        "--data",         "--turnaround", "SIGUSR1",      "SIGUSR2"}) {
        EXPECT_NE(help.find(needle), std::string::npos) << needle;
    }
}

}  // namespace
}  // namespace vr620_test
