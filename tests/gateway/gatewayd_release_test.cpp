// vr620-gatewayd and the simulated controller: a device that no connected client can be using
// any longer is released after --release-after, and a client that comes back in time finds it
// as it was; LAST_REASON tells a connection why its last request failed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "gateway_harness.h"
#include "gatewayd_process.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace {

using gateway_test::Bytes;
using gateway_test::Framed;
using gateway_test::Gatewayd;
using gateway_test::TcpClient;

const Bytes kConnect = Framed({0x00, 0x01, 0x00, 0x00, 0x00});
const Bytes kConnectOk = Framed({0x00, 0x01, 0x00, 0x00, 0x00});
const Bytes kDisconnect = Framed({0x00, 0x02, 0x00, 0x00, 0x00});
const Bytes kLastReason = Framed({0x00, 0x10, 0x00, 0x00, 0x00});

Bytes Read(std::uint16_t point) {
    return Framed({0x00, 0x03, static_cast<std::uint8_t>(point >> 8),
                   static_cast<std::uint8_t>(point), 0x00});
}
// The reason text of a LAST_REASON reply.
std::string Reason(const Bytes& reply) {
    EXPECT_GE(reply.size(), 9u);
    EXPECT_EQ(Bytes(reply.begin() + 4, reply.begin() + std::min<std::size_t>(reply.size(), 9)),
              (Bytes{0x00, 0x10, 0x00, 0x00, 0x00}));
    return reply.size() > 9 ? std::string(reply.begin() + 9, reply.end()) : std::string();
}
// Whether another program could take the port now: the gateway has let it go.
bool PortFree(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const bool free = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) close(fd);
    return free;
}

TEST(GatewaydRelease, ADeviceNobodyHoldsIsReleasedAndAClientInTimeKeepsIt) {
    vr620_test::TempDir dir;
    vr620_test::SimProcess first{{"--baud", "38400", "--turnaround", "1"}};
    vr620_test::SimProcess second{{"--baud", "38400", "--turnaround", "1"}};
    ASSERT_TRUE(first.Started()) << first.Error();
    ASSERT_TRUE(second.Started()) << second.Error();
    Gatewayd gatewayd(dir);
    const std::string settings = "[Direct]\r\nBaudRate=38400\r\nPollTimeOut=1500\r\n";
    gatewayd.WriteIni("[Ports]\r\nCOM1=" + first.DevicePath() + "\r\n" + settings);
    ASSERT_TRUE(gatewayd.Start({"--release-after", "1"}));
    {
        TcpClient gone(gatewayd.port);
        ASSERT_EQ(gone.Exchange(kConnect), kConnectOk);
        ASSERT_EQ(gone.Exchange(Read(0x0001)).size(), 10u);
    }  // closed without a disconnect
    ASSERT_TRUE(gatewayd.WaitFor("Device on COM1 released: no client connected for 1 s"));
    EXPECT_TRUE(PortFree(first.DevicePath()));

    // DUCTA.INI is read again at the next connect.
    gatewayd.WriteIni("[Ports]\r\nCOM1=" + second.DevicePath() + "\r\n" + settings);
    auto client = std::make_unique<TcpClient>(gatewayd.port);
    ASSERT_EQ(client->Exchange(kConnect), kConnectOk);
    EXPECT_FALSE(PortFree(second.DevicePath()));
    // Gone and back at once: the device stays open with the count as it was, also past the
    // release time (the silent point's read takes longer than that).
    client = std::make_unique<TcpClient>(gatewayd.port);
    EXPECT_EQ(client->Exchange(Read(0xFF01)).size(), 9u);
    EXPECT_EQ(client->Exchange(Read(0x0001)).size(), 10u);
    EXPECT_EQ(client->Exchange(kDisconnect).size(), 9u);
    EXPECT_TRUE(PortFree(second.DevicePath()));
    int released = 0;
    for (const auto& t : gatewayd.Texts()) released += t.find(" released: ") != std::string::npos;
    EXPECT_EQ(released, 1);
}

TEST(GatewaydRelease, LastReasonTellsTheConnectionWhyItsLastRequestFailed) {
    vr620_test::TempDir dir;
    const std::string link = (dir / "ttyVR620").string();
    vr620_test::SimProcess sim{{"--link", link, "--baud", "38400", "--turnaround", "1"}};
    ASSERT_TRUE(sim.Started()) << sim.Error();
    Gatewayd gatewayd(dir);
    gatewayd.WriteIni("[Ports]\r\nCOM1=" + link + "\r\n[Direct]\r\nBaudRate=38400\r\n");
    ASSERT_TRUE(gatewayd.Start());
    TcpClient client(gatewayd.port);
    TcpClient other(gatewayd.port);
    EXPECT_EQ(Reason(client.Exchange(kLastReason)), "");  // none failed yet
    ASSERT_EQ(client.Exchange(kConnect), kConnectOk);
    kill(sim.Pid(), SIGUSR1);
    ASSERT_TRUE(gatewayd.WaitFor("Device on COM1 (" + link + ") lost"));
    EXPECT_EQ(client.Exchange(Read(0x0102)).size(), 9u);
    EXPECT_EQ(Reason(client.Exchange(kLastReason)), "port " + link + " lost");
    // Another connection's reason is its own.
    EXPECT_EQ(Reason(other.Exchange(kLastReason)), "");
    kill(sim.Pid(), SIGUSR2);
    ASSERT_TRUE(gatewayd.WaitFor("Device on COM1 (" + link + ") back"));
    EXPECT_EQ(client.Exchange(Read(0x0102)).size(), 11u);
    // A success does not clear it: it is the reason of the most recent ERROR.
    EXPECT_EQ(Reason(client.Exchange(kLastReason)), "port " + link + " lost");
    // (Its repeats are folded in the log.)
    EXPECT_TRUE(std::ranges::any_of(gatewayd.Texts(), [](const std::string& t) {
        return t.starts_with("LAST_REASON command received from client on ") &&
               t.ends_with(" -> OK");
    }));
}

}  // namespace
