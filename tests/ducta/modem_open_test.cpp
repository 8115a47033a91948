// Modem channels through the exports against a scripted modem on a pseudo-terminal.
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "library_fixture.h"
#include "modem_peer.h"

namespace ducta_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const char* const kInit = "ATE0S0=1\r;AT&W\r";
const char* const kDial = "ATDT 12345678\r";
const char* const kHangUp = ";+++;ATH\r";

class ModemOpen : public LibraryTest {
  protected:
    void SetUp() override {
        WriteIni("[Modem]\r\nCommandDelay=250\r\n");
        lib.module_open();
    }
    // The modem outlives the library's module, so the fixture's close finds it answering.
    ModemPeer& StartModem(ModemPeer::Script script) {
        modem_.reset();
        modem_ = std::make_unique<ModemPeer>(pty, std::move(script));
        return *modem_;
    }
    void TearDown() override { lib.module_close(); }
    uint16_t Open(const char* init, const char* dial, const char* hangup, uint8_t assume = 0) {
        return lib.Open(0, 0, assume, init, dial, hangup, 0);
    }
    // True when the port is free again (another program could take it).
    bool PortIsFree() {
        vr620_test::TempDir otherDir;
        vr620_test::DuctaCopy other(otherDir.Path());
        other.WriteIni("[Ports]\r\nCOM1=" + pty.Path() + "\r\n");
        other.module_open();
        return other.Open(0, 0, 0, nullptr, nullptr, nullptr, 0) == DCT_RESULT_OK;
    }

  private:
    std::unique_ptr<ModemPeer> modem_;
};

std::chrono::milliseconds Between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(b - a);
}

TEST_F(ModemOpen, WorkedOpenAndCloseWithTheDefaultTexts) {
    auto& modem = StartModem(FriendlyModem);
    const auto start = Clock::now();
    ASSERT_EQ(Open(kInit, kDial, kHangUp), DCT_RESULT_OK);
    auto c = modem.Commands();
    ASSERT_EQ(modem.Texts(), (std::vector<std::string>{"ATE0S0=1\r", "AT&W\r", "ATDT 12345678\r"}));
    EXPECT_GE(Between(start, c[0].at), 480ms);    // RTS and DTR settle first
    EXPECT_GE(Between(c[0].at, c[1].at), 240ms);  // one command delay
    // The line carries frames now.
    ASSERT_EQ(lib.Write(0, 0, 0x0102, 0x81, nullptr, 0), DCT_RESULT_OK);

    const auto closeStart = Clock::now();
    ASSERT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
    c = modem.Commands();
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(c[3].text, "+++");
    EXPECT_EQ(c[4].text, "ATH\r");
    EXPECT_GE(Between(closeStart, c[3].at), 240ms);  // the empty first entry
    EXPECT_GE(Between(c[3].at, c[4].at), 240ms);
    EXPECT_TRUE(PortIsFree());
    // Hung up: a second close has no connected line to hang up.
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_FAILED);
    EXPECT_EQ(modem.Commands().size(), 5u);
}

TEST_F(ModemOpen, LowerCaseOkAndEchoedCommandsCount) {
    auto& modem = StartModem([](const std::string& cmd) -> std::optional<std::string> {
        if (cmd.rfind("ATD", 0) == 0) return cmd + "\r\nCARRIER 9600\r\nconnect 9600/arq\r\n";
        return cmd + "\r\nok\r\n";  // echo on, results in lower case
    });
    EXPECT_EQ(Open(kInit, kDial, kHangUp), DCT_RESULT_OK);
    EXPECT_EQ(modem.Texts().size(), 3u);
}

TEST_F(ModemOpen, ConnectWaitsForItsLineEnd) {
    StartModem([this](const std::string& cmd) -> std::optional<std::string> {
        if (cmd.rfind("ATD", 0) != 0) return "\r\nOK\r\n";
        pty.Send(std::string("\r\nCONNECT 9600"));
        std::this_thread::sleep_for(300ms);
        return "/ARQ\r\n";
    });
    const auto start = Clock::now();
    EXPECT_EQ(Open("", kDial, kHangUp), DCT_RESULT_OK);
    EXPECT_GE(Between(start, Clock::now()), 780ms);  // 500 ms settle + the 300 ms wait
}

TEST_F(ModemOpen, FailedDialClosesThePortAndSaysWhatTheModemAnswered) {
    const std::pair<const char*, int> answers[] = {
        {"\r\nBUSY\r\n", DCT_REASON_MODEM_BUSY},
        {"\r\nNO CARRIER\r\n", DCT_REASON_MODEM_NO_CARRIER},
        {"\r\nNO ANSWER\r\n", DCT_REASON_MODEM_NO_ANSWER},
        {"\r\nNO DIAL\r\n", DCT_REASON_MODEM_NO_DIAL},
        {"\r\nERROR\r\n", DCT_REASON_MODEM_ERROR},
        {"\r\nRING\r\n", DCT_REASON_MODEM_RING},
        {"\r\nOK\r\n", DCT_REASON_MODEM_OK}};
    for (const auto& [answer, reason] : answers) {
        SCOPED_TRACE(answer);
        auto& modem = StartModem([answer](const std::string& cmd) -> std::optional<std::string> {
            if (cmd.rfind("ATD", 0) == 0) return std::string(answer);
            return "\r\nOK\r\n";
        });
        const Called open([&] { return Open(kInit, kDial, kHangUp); });
        EXPECT_EQ(open.result, DCT_RESULT_FAILED);
        EXPECT_EQ(open.reason, reason);
        EXPECT_TRUE(DCT_REASON_IS_MODEM(open.reason));
        EXPECT_EQ(lib.Write(0, 0, 1, 0x81, nullptr, 0), DCT_RESULT_NOT_OPEN);
        EXPECT_TRUE(PortIsFree());
        const Called close([&] { return lib.Close(0, 0); });
        EXPECT_EQ(close.result, DCT_RESULT_FAILED);  // never connected
        EXPECT_EQ(close.reason, DCT_REASON_MODEM_NOT_CONNECTED);
        EXPECT_EQ(modem.Texts().size(), 3u);  // no hang-up commands
    }
}

TEST_F(ModemOpen, InitRefusedStopsBeforeTheDial) {
    auto& modem = StartModem([](const std::string& cmd) -> std::optional<std::string> {
        if (cmd == "AT&W\r") return "\r\nERROR\r\n";
        return FriendlyModem(cmd);
    });
    const Called open([&] { return Open("ATZ\r;AT&W\r;ATL0\r", kDial, kHangUp); });
    EXPECT_EQ(open.result, DCT_RESULT_FAILED);
    EXPECT_EQ(open.reason, DCT_REASON_MODEM_ERROR);
    EXPECT_EQ(modem.Texts(), (std::vector<std::string>{"ATZ\r", "AT&W\r"}));
}

TEST_F(ModemOpen, InitOfOnlySeparatorsPausesOnceAndFails) {
    auto& modem = StartModem(FriendlyModem);
    const auto start = Clock::now();
    const Called open([&] { return Open(";", kDial, kHangUp); });
    EXPECT_EQ(open.result, DCT_RESULT_FAILED);
    EXPECT_EQ(open.reason, DCT_REASON_MODEM_NO_COMMAND);
    EXPECT_GE(Between(start, Clock::now()), 740ms);  // 500 ms settle + one 250 ms pause
    EXPECT_TRUE(modem.Texts().empty());
}

TEST_F(ModemOpen, EmptyInitTextDialsAtOnce) {
    auto& modem = StartModem(FriendlyModem);
    EXPECT_EQ(Open("", kDial, kHangUp), DCT_RESULT_OK);
    EXPECT_EQ(modem.Texts(), std::vector<std::string>{"ATDT 12345678\r"});
}

TEST_F(ModemOpen, TrailingSeparatorSucceedsAfterOnePause) {
    auto& modem = StartModem(FriendlyModem);
    ASSERT_EQ(Open("ATZ\r;", "", kHangUp), DCT_RESULT_OK);
    EXPECT_EQ(modem.Texts(), std::vector<std::string>{"ATZ\r"});
}

TEST_F(ModemOpen, UnconfirmedInitEntriesCountAsOk) {
    auto& modem = StartModem([](const std::string&) { return std::optional<std::string>(); });
    const auto start = Clock::now();
    ASSERT_EQ(Open("+++", "", kHangUp), DCT_RESULT_OK);  // silent modem, but nothing confirmed
    EXPECT_GE(Between(start, Clock::now()), 1400ms);     // 500 ms + at least one second
    EXPECT_EQ(modem.Texts(), std::vector<std::string>{"+++"});
}

TEST_F(ModemOpen, EmptyDialTextLeavesTheLineNotConnected) {
    auto& modem = StartModem(FriendlyModem);
    ASSERT_EQ(Open(kInit, "", kHangUp), DCT_RESULT_OK);
    EXPECT_EQ(modem.Texts().size(), 2u);
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_FAILED);
    EXPECT_EQ(modem.Texts().size(), 2u);  // no hang-up commands
    EXPECT_TRUE(PortIsFree());
}

TEST_F(ModemOpen, EmptyHangupTextFailsEveryClose) {
    auto& modem = StartModem(FriendlyModem);
    ASSERT_EQ(Open(kInit, kDial, ""), DCT_RESULT_OK);
    const Called close([&] { return lib.Close(0, 0); });
    EXPECT_EQ(close.result, DCT_RESULT_FAILED);
    EXPECT_EQ(close.reason, DCT_REASON_MODEM_NO_COMMAND);
    EXPECT_TRUE(PortIsFree());
    EXPECT_EQ(modem.Texts().size(), 3u);
}

TEST_F(ModemOpen, HangupNotAnsweredOkFailsButClosesThePort) {
    StartModem([](const std::string& cmd) -> std::optional<std::string> {
        if (cmd == "ATH\r") return "\r\nERROR\r\n";
        return FriendlyModem(cmd);
    });
    ASSERT_EQ(Open(kInit, kDial, kHangUp), DCT_RESULT_OK);
    const Called close([&] { return lib.Close(0, 0); });
    EXPECT_EQ(close.result, DCT_RESULT_FAILED);
    EXPECT_EQ(close.reason, DCT_REASON_MODEM_ERROR);
    EXPECT_TRUE(PortIsFree());
}

TEST_F(ModemOpen, ModuleOpenHangsAnOpenModemLineUp) {
    auto& modem = StartModem(FriendlyModem);
    ASSERT_EQ(Open(kInit, kDial, kHangUp), DCT_RESULT_OK);
    EXPECT_EQ(lib.module_open(), 0);
    EXPECT_EQ(modem.Texts(), (std::vector<std::string>{"ATE0S0=1\r", "AT&W\r", "ATDT 12345678\r",
                                                       "+++", "ATH\r"}));
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);  // a fresh module, direct mode
}

TEST_F(ModemOpen, AssumedConnectionSendsOnlyTheDialAndHangsUpAtClose) {
    auto& modem = StartModem(FriendlyModem);
    const auto start = Clock::now();
    ASSERT_EQ(Open(nullptr, kDial, kHangUp, 1), DCT_RESULT_OK);
    EXPECT_LT(Between(start, Clock::now()), 2000ms);  // no RTS/DTR settle needed
    EXPECT_EQ(modem.Texts(), std::vector<std::string>{"ATDT 12345678\r"});
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
    EXPECT_EQ(modem.Texts().size(), 3u);
}

TEST_F(ModemOpen, AssumedConnectionIgnoresTheDialResult) {
    StartModem([](const std::string&) { return std::string("\r\nBUSY\r\n"); });
    EXPECT_EQ(Open(nullptr, kDial, nullptr, 1), DCT_RESULT_OK);
}

TEST_F(ModemOpen, LongModemTextsAreCutAt127Characters) {
    const std::string dial = "ATDT" + std::string(200, '1') + "\r";
    std::string received;
    std::thread modem([&] {
        auto bytes = pty.Receive(127);
        received.assign(bytes.begin(), bytes.end());
        auto more = pty.ReceiveSome(100ms);
        received.append(more.begin(), more.end());
        pty.Send(std::string("\r\nCONNECT 9600\r\n"));
    });
    EXPECT_EQ(Open(nullptr, dial.c_str(), nullptr, 1), DCT_RESULT_OK);
    modem.join();
    EXPECT_EQ(received, dial.substr(0, 127));
}

TEST_F(ModemOpen, ModemModeReadsTheModemSection) {
    WriteIni("[Modem]\r\nBaudRate=1200\r\nCommandDelay=-5\r\n[Direct]\r\nBaudRate=19200\r\n");
    StartModem(FriendlyModem);
    ASSERT_EQ(Open(";;;ATZ\r", kDial, kHangUp), DCT_RESULT_OK);
    termios t = pty.FarEndSettings();
    EXPECT_EQ(cfgetospeed(&t), B1200);
}

}  // namespace
}  // namespace ducta_test
