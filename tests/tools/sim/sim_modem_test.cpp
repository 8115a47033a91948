// The simulated Hayes modem over a real pseudo-terminal: command mode, dialing, data mode
// through to the controller, the escape with its guard times, and the dial outcomes.
#include <gtest/gtest.h>

#include "sim_fixture.h"
#include "temp_dir.h"

namespace vr620_test {
namespace {

using std::chrono::duration_cast;

class SimModem : public SimTest {
  protected:
    void StartModem(std::vector<std::string> args = {}) {
        args.insert(args.begin(), "--modem");
        StartSim(args);
    }
    // Sends a command line and collects the answer up to its result line.
    std::string Command(std::string_view line, std::string_view until) {
        port_->Send(line);
        return ToText(port_->ReadUntil(until));
    }
    void Connect() {
        ASSERT_EQ(Command("ATE0\r", "OK\r\n"), "ATE0\r\r\nOK\r\n");
        ASSERT_EQ(Command("ATDT 12345678\r", "ARQ\r\n"), "\r\nCONNECT 9600/ARQ\r\n");
    }
};

TEST_F(SimModem, CommandModeEchoesAndAnswersFramedResults) {
    StartModem();
    EXPECT_EQ(Command("AT\r", "OK\r\n"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(Command("at\r", "OK\r\n"), "at\r\r\nOK\r\n");
    // Chained commands; echo ends with the line that turns it off.
    EXPECT_EQ(Command("ATE0S0=1\r", "OK\r\n"), "ATE0S0=1\r\r\nOK\r\n");
    EXPECT_EQ(Command("AT\r", "OK\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(Command("ATS0?\r", "OK\r\n"), "\r\n001\r\n\r\nOK\r\n");
    EXPECT_EQ(Command("ATJ\r", "ERROR\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(Command("ATS0=256\r", "ERROR\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(Command("ATE2\r", "ERROR\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(Command("AT&W\r", "OK\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(Command("ATH\r", "OK\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(Command("ATX4 L1 M0 &C1 &D2 I\r", "OK\r\n"),
              "\r\nVR620-SIM HAYES MODEM\r\n\r\nOK\r\n");
    // Text ahead of AT is passed over; a line without AT gets no answer.
    EXPECT_EQ(Command("+++AT\r", "OK\r\n"), "\r\nOK\r\n");
    port_->Send("hello\r");
    EXPECT_TRUE(port_->ReadFor(milliseconds(200)).empty());
    // Backspace takes back a character.
    EXPECT_EQ(Command("ATJ\bE0\r", "OK\r\n"), "\r\nOK\r\n");
    // A line that is too long is refused.
    EXPECT_EQ(Command("AT" + std::string(300, 'E') + "\r", "ERROR\r\n"), "\r\nERROR\r\n");
    // Numeric results.
    EXPECT_EQ(Command("ATV0\r", "0\r"), "0\r");
    EXPECT_EQ(Command("ATJ\r", "4\r"), "4\r");
    port_->Send("ATV1Q1\r");
    EXPECT_TRUE(port_->ReadFor(milliseconds(300)).empty()) << "quiet";
}

TEST_F(SimModem, StoredProfileAndFactorySettings) {
    StartModem();
    EXPECT_EQ(Command("ATE0&W\r", "OK\r\n"), "ATE0&W\r\r\nOK\r\n");
    EXPECT_EQ(Command("ATE1\r", "OK\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(Command("AT\r", "OK\r\n"), "AT\r\r\nOK\r\n");
    // ATZ brings back the stored profile (echo off).
    EXPECT_EQ(Command("ATZ\r", "OK\r\n"), "ATZ\r\r\nOK\r\n");
    EXPECT_EQ(Command("AT\r", "OK\r\n"), "\r\nOK\r\n");
    // AT&F the factory one (echo on).
    EXPECT_EQ(Command("AT&F\r", "OK\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(Command("AT\r", "OK\r\n"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(Command("ATS12?\r", "OK\r\n"), "ATS12?\r\r\n050\r\n\r\nOK\r\n");
}

TEST_F(SimModem, ADialConnectsToTheControllerAndTheEscapeReturnsToCommandMode) {
    StartModem({"--dial-delay", "300", "--guard-ms", "200"});
    ASSERT_EQ(Command("ATE0S0=1\r", "OK\r\n"), "ATE0S0=1\r\r\nOK\r\n");
    port_->Send("ATDT 12345678\r");
    const Clock::time_point dialed = Clock::now();
    EXPECT_EQ(ToText(port_->ReadUntil("\r\n", milliseconds(5000))), "\r\n");
    EXPECT_EQ(ToText(port_->ReadUntil("ARQ\r\n")), "CONNECT 9600/ARQ\r\n");
    EXPECT_GE(duration_cast<milliseconds>(port_->LastByteAt() - dialed).count(), 280);

    // Data mode: frames reach the controller and its replies come back.
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x0102)), BuildRequest(0x80, 0x0102, {0xAA, 0xBB}));
    EXPECT_EQ(Ask(BuildRequest(0x82, 0x0010, {0x43, 0x2B})), BuildRequest(0x82, 0x0010));
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x0010)), BuildRequest(0x80, 0x0010, {0x43, 0x2B}));
    // A '+' inside a frame is data, not an escape.
    EXPECT_EQ(Ask(BuildRequest(0x82, 0x0010, {'+', '+', '+'})), BuildRequest(0x82, 0x0010));

    // "+++" after a guard time of silence, and silence after it: OK, command mode.
    EXPECT_TRUE(port_->ReadFor(milliseconds(400)).empty());
    port_->Send("+++");
    const Clock::time_point escaped = Clock::now();
    EXPECT_EQ(ToText(port_->ReadUntil("OK\r\n")), "\r\nOK\r\n");
    EXPECT_GE(duration_cast<milliseconds>(port_->LastByteAt() - escaped).count(), 180);
    // Frames get no reply in command mode.
    port_->Send(BuildRequest(0x81, 0x0102));
    EXPECT_TRUE(port_->ReadFor(milliseconds(200)).empty());
    EXPECT_EQ(Command("\rAT\r", "OK\r\n"), "\r\nOK\r\n");

    // ATO goes back online with the line still up; ATH hangs it up.
    EXPECT_EQ(Command("ATO\r", "ARQ\r\n"), "\r\nCONNECT 9600/ARQ\r\n");
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x0001)), BuildRequest(0x80, 0x0001, {0x01}));
    EXPECT_TRUE(port_->ReadFor(milliseconds(400)).empty());
    EXPECT_EQ(Command("+++", "OK\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(Command("ATH\r", "OK\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(Command("ATO\r", "CARRIER\r\n"), "\r\nNO CARRIER\r\n");
    // And a second call works like the first.
    EXPECT_EQ(Command("ATD5551234\r", "ARQ\r\n"), "\r\nCONNECT 9600/ARQ\r\n");
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x0001)), BuildRequest(0x80, 0x0001, {0x01}));
}

TEST_F(SimModem, TheEscapeNeedsItsGuardTimes) {
    StartModem({"--dial-delay", "0", "--guard-ms", "250"});
    Connect();
    // Right behind a frame (no silence before): data, no escape.
    Bytes request = BuildRequest(0x81, 0x0102);
    request.insert(request.end(), {'+', '+', '+'});
    port_->Send(request);
    EXPECT_EQ(port_->ReadFrame(), BuildRequest(0x80, 0x0102, {0xAA, 0xBB}));
    EXPECT_TRUE(port_->ReadFor(milliseconds(500)).empty());
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x0001)), BuildRequest(0x80, 0x0001, {0x01}));

    // Followed by more data (no silence after): data again, and the frame behind is answered.
    EXPECT_TRUE(port_->ReadFor(milliseconds(400)).empty());
    Bytes escapeThenFrame = ToBytes("+++");
    const Bytes read = BuildRequest(0x81, 0x0001);
    escapeThenFrame.insert(escapeThenFrame.end(), read.begin(), read.end());
    port_->Send(escapeThenFrame);
    EXPECT_EQ(port_->ReadFrame(), BuildRequest(0x80, 0x0001, {0x01}));
    EXPECT_TRUE(port_->ReadFor(milliseconds(500)).empty()) << "still in data mode";
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x0102)), BuildRequest(0x80, 0x0102, {0xAA, 0xBB}));

    // A proper escape still works afterwards.
    EXPECT_TRUE(port_->ReadFor(milliseconds(400)).empty());
    EXPECT_EQ(Command("+++", "OK\r\n"), "\r\nOK\r\n");
}

TEST_F(SimModem, TheHangUpSequenceOfTheManagerWorks) {
    // The manager's default texts: init "ATE0S0=1\r;AT&W\r", dial "ATDT 12345678\r",
    // hang-up ";+++;ATH\r" with a command delay of 250 ms.
    StartModem({"--dial-delay", "100", "--guard-ms", "150"});
    EXPECT_EQ(Command("ATE0S0=1\r", "OK\r\n"), "ATE0S0=1\r\r\nOK\r\n");
    EXPECT_EQ(Command("AT&W\r", "OK\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(Command("ATDT 12345678\r", "ARQ\r\n"), "\r\nCONNECT 9600/ARQ\r\n");
    EXPECT_EQ(Ask(BuildRequest(0x81, 0x0102)), BuildRequest(0x80, 0x0102, {0xAA, 0xBB}));
    EXPECT_TRUE(port_->ReadFor(milliseconds(250)).empty());
    port_->Send("+++");
    EXPECT_EQ(ToText(port_->ReadUntil("OK\r\n", milliseconds(1000))), "\r\nOK\r\n");
    EXPECT_TRUE(port_->ReadFor(milliseconds(250)).empty());
    EXPECT_EQ(Command("ATH\r", "OK\r\n"), "\r\nOK\r\n");
}

TEST_F(SimModem, ACharacterDuringTheDialAbandonsIt) {
    StartModem({"--dial-delay", "2000"});
    EXPECT_EQ(Command("ATE0\r", "OK\r\n"), "ATE0\r\r\nOK\r\n");
    port_->Send("ATD123\r");
    EXPECT_TRUE(port_->ReadFor(milliseconds(200)).empty());
    EXPECT_EQ(Command("A", "CARRIER\r\n"), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(Command("AT\r", "OK\r\n"), "\r\nOK\r\n");
    // A dial needs a number, and no dial while a line is up.
    EXPECT_EQ(Command("ATD\r", "ERROR\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(Command("ATDTabc\r", "ERROR\r\n"), "\r\nERROR\r\n");
}

struct Outcome {
    std::string option;
    std::string answer;
};

TEST(SimModemDial, EveryDialOutcomeAnswersAsChosen) {
    const std::vector<Outcome> outcomes{
        {"BUSY", "\r\nBUSY\r\n"},           {"NO CARRIER", "\r\nNO CARRIER\r\n"},
        {"no_answer", "\r\nNO ANSWER\r\n"}, {"NO-DIAL", "\r\nNO DIAL\r\n"},
        {"ERROR", "\r\nERROR\r\n"},         {"RING", "\r\nRING\r\n"},
    };
    for (const Outcome& o : outcomes) {
        SCOPED_TRACE(o.option);
        SimProcess sim({"--modem", "--dial-delay", "50", "--dial-result", o.option});
        ASSERT_TRUE(sim.Started()) << sim.Error();
        LineEnd port(sim.DevicePath());
        port.Send("ATE0\r");
        port.ReadUntil("OK\r\n");
        port.Send("ATDT 12345678\r");
        EXPECT_EQ(ToText(port.Receive(o.answer.size())), o.answer);
        // The line is not up: frames get no reply, the modem still takes commands.
        port.Send(BuildRequest(0x81, 0x0001));
        EXPECT_TRUE(port.ReadFor(milliseconds(150)).empty());
        port.Send("\rAT\r");
        EXPECT_EQ(ToText(port.ReadUntil("OK\r\n")), "\r\nOK\r\n");
    }

    SimProcess silent({"--modem", "--dial-delay", "50", "--dial-result", "SILENT"});
    ASSERT_TRUE(silent.Started()) << silent.Error();
    LineEnd port(silent.DevicePath());
    port.Send("ATE0\r");
    port.ReadUntil("OK\r\n");
    port.Send("ATDT 12345678\r");
    EXPECT_TRUE(port.ReadFor(milliseconds(400)).empty());
    port.Send("AT\r");
    EXPECT_EQ(ToText(port.ReadUntil("OK\r\n")), "\r\nOK\r\n") << "back in command mode";
}

TEST(SimModemDial, LowerCaseBannerAndConnectText) {
    SimProcess sim({"--modem", "--dial-delay", "0", "--lowercase", "--banner", "CARRIER 9600",
                    "--banner", "PROTOCOL: LAP-M", "--connect-text", "CONNECT 2400"});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    LineEnd port(sim.DevicePath());
    port.Send("AT\r");
    EXPECT_EQ(ToText(port.ReadUntil("ok\r\n")), "AT\r\r\nok\r\n");
    port.Send("ATD1\r");
    EXPECT_EQ(ToText(port.ReadUntil("2400\r\n")),
              "ATD1\r\r\nCARRIER 9600\r\n\r\nPROTOCOL: LAP-M\r\n\r\nconnect 2400\r\n");
    port.Send(BuildRequest(0x81, 0x0001));
    EXPECT_EQ(port.ReadFrame(), BuildRequest(0x80, 0x0001, {0x01}));
}

TEST(SimModemDial, VerboseShowsCommandsAndResults) {
    TempDir dir;
    const std::string log = (dir / "trace.txt").string();
    {
        SimProcess sim({"--modem", "--verbose", "--dial-delay", "0"}, log);
        ASSERT_TRUE(sim.Started()) << sim.Error();
        LineEnd port(sim.DevicePath());
        port.Send("ATE0S0=1\r");
        port.ReadUntil("OK\r\n");
        port.Send("ATDT 12345678\r");
        port.ReadUntil("ARQ\r\n");
        port.Send(BuildRequest(0x81, 0x0102));
        port.ReadFrame();
    }
    const std::string trace = ReadFile(log);
    for (const char* needle :
         {"command: ATE0S0=1", "result: OK", "command: ATDT 12345678", "result: CONNECT 9600/ARQ",
          "rx 02 81 02 01 02 86", "tx 02 80 04 01 02 AA BB EC"}) {
        EXPECT_NE(trace.find(needle), std::string::npos) << needle << "\n" << trace;
    }
}

}  // namespace
}  // namespace vr620_test
