// Modem control on the port itself: the command lists and the result wait.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "../support/pty_pair.h"
#include "modem.h"
#include "modem_peer.h"
#include "serial_port.h"

namespace ducta {
namespace {

using namespace std::chrono_literals;
using ducta_test::FriendlyModem;
using ducta_test::ModemPeer;
using vr620_test::PtyPair;

class ModemPort : public ::testing::Test {
  protected:
    PtyPair pty, otherPty;
    DebugOutput debug;
    SerialPort port{debug}, otherPort{debug};
    Modem modem{port}, otherModem{otherPort};
    void SetUp() override {
        LineSettings line;
        line.baud = 9600;
        ASSERT_EQ(port.Open(pty.Path(), line, false), Status::kOk);
        ASSERT_EQ(otherPort.Open(otherPty.Path(), line, false), Status::kOk);
        modem.SetCommandDelay(20);
    }
};

TEST_F(ModemPort, ListTextsAreUnchangedAfterEveryRun) {
    ModemPeer peer(pty, FriendlyModem);
    char init[] = ";ATZ\r;;+++;AT&W\r;";
    char hangup[] = ";+++;ATH\r";
    const std::string initBefore = init, hangupBefore = hangup;
    ASSERT_EQ(modem.InitAndDial(init, "ATDT1\r", 10), Status::kOk);
    EXPECT_EQ(std::string(init, sizeof init - 1), initBefore);
    EXPECT_TRUE(modem.IsConnected());
    ASSERT_EQ(modem.HangUp(hangup, 10), Status::kOk);
    EXPECT_EQ(std::string(hangup, sizeof hangup - 1), hangupBefore);
    EXPECT_FALSE(modem.IsConnected());
    EXPECT_EQ(peer.Texts(),
              (std::vector<std::string>{"ATZ\r", "+++", "AT&W\r", "ATDT1\r", "+++", "ATH\r"}));

    // A list that stops at a refused entry is restored as well.
    ModemPeer refusing(otherPty, [](const std::string&) { return std::string("\r\nERROR\r\n"); });
    char refused[] = "ATZ\r;AT&W\r";
    EXPECT_EQ(otherModem.InitAndDial(refused, "ATD1\r", 10), Status::kModemInitFailed);
    EXPECT_STREQ(refused, "ATZ\r;AT&W\r");
    EXPECT_EQ(refusing.Texts(), std::vector<std::string>{"ATZ\r"});
}

TEST_F(ModemPort, FailedHangUpKeepsTheLineConnected) {
    ModemPeer peer(pty, [](const std::string& c) -> std::optional<std::string> {
        if (c == "ATH\r") return "\r\nNO CARRIER\r\n";
        return FriendlyModem(c);
    });
    modem.SetConnected(true);
    char hangup[] = "+++;ATH\r";
    EXPECT_EQ(modem.HangUp(hangup, 10), Status::kHangUpFailed);
    EXPECT_TRUE(modem.IsConnected());
    char empty[] = "";
    EXPECT_EQ(modem.HangUp(empty, 10), Status::kHangUpFailed);
}

TEST_F(ModemPort, ResultAfterALongBannerIsStillRecognised) {
    ModemPeer peer(
        pty, [](const std::string&) { return std::string(3000, 'B') + "\r\nCONNECT 9600\r\n"; });
    char reply[128];
    std::memset(reply, 'X', sizeof reply);
    EXPECT_EQ(modem.SendCommand("ATD1\r", std::span<char>(reply, 100), 10), ModemResult::kConnect);
    EXPECT_EQ(reply[99], '\0');  // kept within its 100 bytes...
    EXPECT_EQ(reply[100], 'X');  // ...and nothing past them
}

TEST_F(ModemPort, ClosedPortAnswersTimeOutAtOnce) {
    port.Close();
    char reply[16];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(modem.SendCommand("AT\r", reply, 10), ModemResult::kTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

}  // namespace
}  // namespace ducta
