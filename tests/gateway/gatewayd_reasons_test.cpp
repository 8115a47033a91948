// vr620-gatewayd against the simulated controller over TCP: every ERROR is followed in its
// connection log by the reason, in the log's words; repeated reasons are counted; the port
// that goes away and comes back while clients hold the device is told at once; the modem's
// answers and a modem line that goes. The program runs from a folder of the test's own, beside
// its own copy of libducta.so (its RPATH finds the copy) and its DUCTA.INI.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
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

    EXPECT_EQ(gatewayd.ReasonOf(first, Read(0x0001), "SNVT_READ"),
              "Device on COM1: device not connected");
    EXPECT_EQ(gatewayd.ReasonOf(first, kConnect, "DEVICE_CONNECT"),
              "Device on COM1: port " + missing + " missing");
    gatewayd.WriteIni("[Ports]\r\nCOM1=/dev/null\r\n" + settings);
    EXPECT_EQ(gatewayd.ReasonOf(first, kConnect, "DEVICE_CONNECT"),
              "Device on COM1: /dev/null is not a usable serial port");
    gatewayd.WriteIni("[Ports]\r\nCOM1=" + link.string() + "\r\n" + settings);
    {
        // Another program holds the port.
        const int other = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(other, 0);
        ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(gatewayd.ReasonOf(first, kConnect, "DEVICE_CONNECT"),
                  "Device on COM1: port " + link.string() + " in use by another program");
        close(other);
    }
    ASSERT_EQ(first.Exchange(kConnect), (Bytes{0, 0, 0, 5, 0, 1, 0, 0, 0}));

    EXPECT_EQ(gatewayd.ReasonOf(first, Read(0xFF01), "SNVT_READ"), "Device on COM1: no reply");
    EXPECT_EQ(gatewayd.ReasonOf(first, Read(0xFF02), "SNVT_READ"),
              "Device on COM1: damaged reply (checksum)");
    EXPECT_EQ(gatewayd.ReasonOf(first, Read(0xFF08), "SNVT_READ"),
              "Device on COM1: request refused by the device");
    EXPECT_EQ(gatewayd.ReasonOf(first, Read(0xFF06), "SNVT_READ"),
              "Device on COM1: reply without a data field");
    EXPECT_EQ(gatewayd.ReasonOf(first, Read(0x7777), "SNVT_READ"),  // an unknown point
              "Device on COM1: request refused by the device");

    // The same reason again and again: counted, and the count written before the next line.
    const std::size_t before = gatewayd.Texts().size();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(first.Exchange(Read(0x7777)).size(), 9u);
    EXPECT_EQ(gatewayd.Texts().size(), before);
    EXPECT_EQ(first.Exchange(Read(0x0001)).size(), 10u);
    auto texts = gatewayd.Texts();
    ASSERT_EQ(texts.size(), before + 2);
    EXPECT_EQ(texts[before],
              "Device on COM1: request refused by the device (3 more times, lines left out)");
    EXPECT_TRUE(texts[before + 1].ends_with(" -> OK")) << texts[before + 1];

    // The adapter pulled out and put back while two clients hold the device open: told at
    // once, without a request, and each failed request says why.
    TcpClient second(gatewayd.port);
    ASSERT_EQ(second.Exchange(kConnect).size(), 9u);
    const std::string port = "COM1 (" + link.string() + ")";
    kill(sim.Pid(), SIGUSR1);
    ASSERT_TRUE(gatewayd.WaitFor("Device on " + port + " lost"));
    EXPECT_EQ(gatewayd.ReasonOf(first, Read(0x0102), "SNVT_READ"),
              "Device on COM1: port " + link.string() + " lost");
    EXPECT_EQ(second.Exchange(Read(0x0102)).size(), 9u);  // the same reason: counted
    kill(sim.Pid(), SIGUSR2);
    ASSERT_TRUE(gatewayd.WaitFor("Device on " + port + " back"));
    texts = gatewayd.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2],
              "Device on COM1: port " + link.string() + " lost (1 more time, lines left out)");
    EXPECT_EQ(first.Exchange(Read(0x0102)).size(), 11u);
    EXPECT_EQ(second.Exchange(Read(0x0102)).size(), 11u);
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
    EXPECT_EQ(gatewayd.ReasonOf(client, kConnect, "DEVICE_CONNECT"), "Device on COM1: modem: BUSY");

    gatewayd.WriteIni("[Ports]\r\nCOM1=" + link.string() + "\r\n" + settings);
    ASSERT_EQ(client.Exchange(kConnect), (Bytes{0, 0, 0, 5, 0, 1, 0, 0, 0}));
    kill(connecting.Pid(), SIGUSR1);  // the modem loses its power: the line is gone
    ASSERT_TRUE(gatewayd.WaitFor("Device on COM1 (" + link.string() + ") lost"));
    EXPECT_EQ(gatewayd.ReasonOf(client, Read(0x0001), "SNVT_READ"),
              "Device on COM1: modem: connection lost");
}

}  // namespace
