// vr620-gatewayd against the simulated controller over TCP: every ERROR is followed in its
// connection log by the reason, in the log's words; repeated lines are counted, a retry storm
// among them; the port
// that goes away and comes back while clients hold the device is told at once; the modem's
// answers and a modem line that goes. The program runs from a folder of the test's own, beside
// its own copy of libducta.so (its RPATH finds the copy) and its DUCTA.INI.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gateway_harness.h"
#include "gatewayd_process.h"
#include "loopback.h"
#include "program_run.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using gateway_test::Bytes;
using gateway_test::Framed;
using gateway_test::TcpClient;
using gateway_test::Gatewayd;
using vr620_test::SimProcess;
using vr620_test::WaitUntil;

const Bytes kConnect = Framed({0x00, 0x01, 0x00, 0x00, 0x00});
const Bytes kDisconnect = Framed({0x00, 0x02, 0x00, 0x00, 0x00});

Bytes Read(std::uint16_t point) {
    return Framed({0x00, 0x03, static_cast<std::uint8_t>(point >> 8),
                   static_cast<std::uint8_t>(point), 0x00});
}

TEST(GatewaydReasons, EveryReasonOfTheDirectLineReachesTheLogAsWritten) {
    vr620_test::TempDir dir;
    const fs::path link = dir / "ttyVR620";
    SimProcess sim{{"--link", link.string(), "--baud", "38400", "--turnaround", "1"}};
    ASSERT_TRUE(sim.Started()) << sim.Error();
    Gatewayd gatewayd(dir);
    const std::string missing = (dir / "no-such-tty").string();
    const std::string settings = "[Direct]\r\nBaudRate=38400\r\nPollTimeOut=250\r\n";
    gatewayd.WriteIni("[Ports]\r\nCOM1=" + missing + "\r\n" + settings);
    ASSERT_TRUE(gatewayd.Start());
    TcpClient first(gatewayd.port);

    EXPECT_EQ(gatewayd.ReasonOf(first, Read(0x0001)), "Device on COM1: device not connected");
    EXPECT_EQ(gatewayd.ReasonOf(first, kConnect), "Device on COM1: port " + missing + " missing");
    gatewayd.WriteIni("[Ports]\r\nCOM1=/dev/null\r\n" + settings);
    EXPECT_EQ(gatewayd.ReasonOf(first, kConnect),
              "Device on COM1: /dev/null is not a usable serial port");
    gatewayd.WriteIni("[Ports]\r\nCOM1=" + link.string() + "\r\n" + settings);
    {
        // Another program holds the port.
        const int other = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(other, 0);
        ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(gatewayd.ReasonOf(first, kConnect),
                  "Device on COM1: port " + link.string() + " in use by another program");
        close(other);
    }
    ASSERT_EQ(first.Exchange(kConnect), (Bytes{0, 0, 0, 5, 0, 1, 0, 0, 0}));

    EXPECT_EQ(gatewayd.ReasonOf(first, Read(0xFF01)), "Device on COM1: no reply");
    EXPECT_EQ(gatewayd.ReasonOf(first, Read(0xFF02)), "Device on COM1: damaged reply (checksum)");
    EXPECT_EQ(gatewayd.ReasonOf(first, Read(0xFF08)),
              "Device on COM1: request refused by the device");
    EXPECT_EQ(gatewayd.ReasonOf(first, Read(0xFF06)), "Device on COM1: reply without a data field");

    // Again and again (an unknown point): left out and counted, the count written before the
    // next other line, with the last line left out behind it; 3 x 2 lines in all.
    const std::size_t before = gatewayd.Texts().size();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(first.Exchange(Read(0x7777)).size(), 9u);
    EXPECT_EQ(gatewayd.Texts().size(), before);
    EXPECT_EQ(first.Exchange(Read(0x0001)).size(), 10u);
    auto texts = gatewayd.Texts();
    ASSERT_EQ(texts.size(), before + 3);
    EXPECT_TRUE(texts[before].starts_with("SNVT_READ command received from client on "))
        << texts[before];
    EXPECT_TRUE(
        texts[before].ends_with(" -> ERROR ... Device on COM1: request refused by the device "
                                "(the same 2 lines again, 5 lines left out)"))
        << texts[before];
    EXPECT_EQ(texts[before + 1], "Device on COM1: request refused by the device");
    EXPECT_TRUE(texts[before + 2].ends_with(" -> OK")) << texts[before + 2];

    // The adapter pulled out and put back while two clients hold the device open: told at
    // once, without a request, and each failed request says why.
    TcpClient second(gatewayd.port);
    ASSERT_EQ(second.Exchange(kConnect).size(), 9u);
    const std::string port = "COM1 (" + link.string() + ")";
    kill(sim.Pid(), SIGUSR1);
    ASSERT_TRUE(gatewayd.WaitFor("Device on " + port + " lost"));
    EXPECT_EQ(gatewayd.ReasonOf(first, Read(0x0102)),
              "Device on COM1: port " + link.string() + " lost");
    EXPECT_EQ(second.Exchange(Read(0x0102)).size(), 9u);  // the same two lines: left out
    kill(sim.Pid(), SIGUSR2);
    ASSERT_TRUE(gatewayd.WaitFor("Device on " + port + " back"));
    texts = gatewayd.Texts();
    ASSERT_GE(texts.size(), 3u);
    // One line left out is written as it came, not counted.
    EXPECT_TRUE(texts[texts.size() - 3].starts_with("SNVT_READ command received from client on "))
        << texts[texts.size() - 3];
    EXPECT_TRUE(texts[texts.size() - 3].ends_with(" -> ERROR")) << texts[texts.size() - 3];
    EXPECT_EQ(texts[texts.size() - 2], "Device on COM1: port " + link.string() + " lost");
    EXPECT_EQ(first.Exchange(Read(0x0102)).size(), 11u);
    EXPECT_EQ(second.Exchange(Read(0x0102)).size(), 11u);
}

// Four clients that connect, fail and close as fast as they can for 10 s while the adapter is
// pulled out, their lines interleaved: the log keeps the first round and a few lines, on
// standard output and in the library's debug lines alike, and what it counts adds up to the
// lines the clients made. The first success ends the run at once.
TEST(GatewaydReasons, ARetryStormLeavesAShortLogThatCountsEveryLineLeftOut) {
    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    vr620_test::TempDir dir;
    const fs::path link = dir / "ttyVR620";
    SimProcess sim{{"--link", link.string(), "--baud", "38400", "--turnaround", "1"}};
    ASSERT_TRUE(sim.Started()) << sim.Error();
    kill(sim.Pid(), SIGUSR1);
    ASSERT_TRUE(WaitUntil([&] { return !fs::exists(link); }));
    Gatewayd gatewayd(dir);
    gatewayd.WriteIni("[Ports]\r\nCOM1=" + link.string() + "\r\n[Direct]\r\nBaudRate=38400\r\n");
    ASSERT_TRUE(gatewayd.Start());
    const std::size_t start = gatewayd.Texts().size();

    // A round: connect, DEVICE_CONNECT, SNVT_READ, every other round DEVICE_DISCONNECT, close.
    // Its lines: "connected", one for each reply and one more for an ERROR, "disconnected".
    constexpr int kClients = 4;
    std::atomic<long> made{0};
    std::atomic<long> failedOpens{0};
    std::atomic<int> firstRoundsDone{0};
    std::atomic<std::size_t> afterFirstRound{0};
    std::atomic<bool> broken{false};
    const auto end = Clock::now() + 10s;
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&] {
            for (int round = 0; Clock::now() < end && !broken; ++round) {
                TcpClient client(gatewayd.port);
                long lines = 2;
                std::vector<Bytes> requests{kConnect, Read(0x0102)};
                if (round % 2 == 1) requests.push_back(kDisconnect);
                for (const Bytes& request : requests) {
                    const Bytes reply = client.Exchange(request);
                    if (reply.size() != 9) {
                        broken = true;
                        return;
                    }
                    lines += reply[8] == 0xFF ? 2 : 1;
                    if (request == kConnect && reply[8] == 0xFF) ++failedOpens;
                }
                client.Close();
                made += lines;
                if (round == 0 && ++firstRoundsDone == kClients)
                    afterFirstRound = gatewayd.Texts().size();
            }
        });
    }
    for (auto& client : clients) client.join();
    ASSERT_FALSE(broken) << "a request got no whole reply";
    ASSERT_GT(made.load(), 100 * 6);

    // The adapter back: the first success ends the run, behind the count.
    kill(sim.Pid(), SIGUSR2);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(link); }));
    TcpClient last(gatewayd.port);
    ASSERT_EQ(last.Exchange(kConnect), (Bytes{0, 0, 0, 5, 0, 1, 0, 0, 0}));
    const auto texts = gatewayd.Texts();
    ASSERT_TRUE(texts.back().starts_with("DEVICE_CONNECT command received from client on "));
    ASSERT_TRUE(texts.back().ends_with(" -> OK"));

    const std::regex count(R"(.* \(the same (line|\d+ lines) again, ([\d,]+) lines? left out\)$)");
    long written = 0;
    long counted = 0;
    for (std::size_t i = start; i < texts.size(); ++i) {
        std::smatch m;
        if (!std::regex_match(texts[i], m, count)) {
            ++written;
            continue;
        }
        std::string n = m[2];
        std::erase(n, ',');
        counted += std::stol(n);
    }
    EXPECT_EQ(written + counted, made + 2) << "the last client's connected and OK lines too";
    EXPECT_GT(counted, made - 30);
    EXPECT_LE(texts.size() - afterFirstRound, 30u);

    // The library's "cannot open" line of every failed DEVICE_CONNECT: one line and a count at
    // the end.
    gatewayd.Run().Stop();
    std::istringstream err(gatewayd.Run().Stderr());
    long debugWritten = 0;
    long debugCounted = 0;
    for (std::string line; std::getline(err, line);) {
        if (!line.starts_with("ducta: ")) continue;
        std::smatch m;
        if (!std::regex_match(line, m, count)) {
            ++debugWritten;
            continue;
        }
        std::string n = m[2];
        std::erase(n, ',');
        debugCounted += std::stol(n);
    }
    EXPECT_LE(debugWritten, 30);
    EXPECT_EQ(debugWritten + debugCounted, failedOpens.load());
}

TEST(GatewaydReasons, TheModemSaysWhatItAnsweredAndWhenItsLineIsLost) {
    vr620_test::TempDir dir;
    const fs::path link = dir / "ttyMODEM";
    const std::vector<std::string> modem{"--baud", "38400",        "--modem", "--guard-ms",
                                         "100",    "--dial-delay", "50"};
    std::vector<std::string> busyArgs = modem;
    busyArgs.insert(busyArgs.end(), {"--dial-result", "BUSY"});
    SimProcess busy(busyArgs);
    std::vector<std::string> connectArgs = modem;
    connectArgs.insert(connectArgs.end(), {"--link", link.string()});
    SimProcess connecting(connectArgs);
    ASSERT_TRUE(busy.Started()) << busy.Error();
    ASSERT_TRUE(connecting.Started()) << connecting.Error();
    Gatewayd gatewayd(dir);
    const std::string settings = "[Modem]\r\nBaudRate=38400\r\nCommandDelay=50\r\n";
    gatewayd.WriteIni("[Ports]\r\nCOM1=" + busy.DevicePath() + "\r\n" + settings);
    ASSERT_TRUE(gatewayd.Start(
        {"--modem", "--init", "ATE0\\r", "--dial", "ATDT 123\\r", "--hangup", ";+++;ATH\\r"}));
    TcpClient client(gatewayd.port);
    EXPECT_EQ(gatewayd.ReasonOf(client, kConnect), "Device on COM1: modem: BUSY");

    gatewayd.WriteIni("[Ports]\r\nCOM1=" + link.string() + "\r\n" + settings);
    ASSERT_EQ(client.Exchange(kConnect), (Bytes{0, 0, 0, 5, 0, 1, 0, 0, 0}));
    kill(connecting.Pid(), SIGUSR1);  // the modem loses its power: the line is gone
    ASSERT_TRUE(gatewayd.WaitFor("Device on COM1 (" + link.string() + ") lost"));
    EXPECT_EQ(gatewayd.ReasonOf(client, Read(0x0001)), "Device on COM1: modem: connection lost");
}

}  // namespace
