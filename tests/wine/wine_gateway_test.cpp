// vr620-gatewayd.exe and DUCTA.dll under Wine: Wine's COM port mapped onto the Linux simulator,
// the Linux client and the client library on the other side, over real TCP.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gateway_client.h"
#include "loopback.h"
#include "program_run.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "wait_until.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using vr620_test::ProgramRun;
using vr620_test::SimProcess;
using vr620_test::WaitUntil;
using Bytes = std::vector<std::uint8_t>;

constexpr char kWine[] = "/usr/bin/wine";

class WineGateway : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* out = std::getenv("VR620_WINDOWS_OUT");
        const char* prefix = std::getenv("WINEPREFIX");
        if (out == nullptr || prefix == nullptr || !fs::exists(fs::path(out) / "DUCTA.dll"))
            GTEST_SKIP() << "no Windows build under Wine (scripts/windows.sh runs this)";
        prefix_ = prefix;
        // The programs run from a folder of the test's own, with its own DUCTA.INI.
        for (const char* file : {"vr620-gatewayd.exe", "DUCTA.dll"})
            fs::copy_file(fs::path(out) / file, dir / file);
    }
    void TearDown() override {
        for (const auto& com : mapped_) fs::remove(prefix_ / "dosdevices" / com);
    }

    // Wine's COM<n> is the serial line at `target` from now on. The tests use numbers far above
    // the machine's own serial ports: Wine maps COM<n> onto /dev/ttyS<n-1> afresh whenever its
    // server starts, over any link of ours.
    void MapCom(int n, const fs::path& target) {
        const std::string com = "com" + std::to_string(n);
        const fs::path link = prefix_ / "dosdevices" / com;
        fs::remove(link);
        fs::create_symlink(target, link);
        mapped_.push_back(com);
    }

    std::unique_ptr<ProgramRun> StartGateway(std::vector<std::string> args, int port,
                                             const std::string& name = "gatewayd") {
        args.insert(args.begin(),
                    {(dir / "vr620-gatewayd.exe").string(), "--port", std::to_string(port)});
        fs::create_directories(dir / name);
        auto run = std::make_unique<ProgramRun>(kWine, args, dir / name);
        const std::string listening = "Server started. Listening to port " + std::to_string(port);
        EXPECT_TRUE(
            WaitUntil([&] { return run->Stdout().find(listening) != std::string::npos; }, 60s))
            << run->Stdout() << run->Stderr();
        return run;
    }

    vr620_test::TempDir dir;
    fs::path prefix_;
    std::vector<std::string> mapped_;
};

std::string Hex(const Bytes& bytes) {
    std::string text;
    char part[4];
    for (auto b : bytes) {
        std::snprintf(part, sizeof part, text.empty() ? "%02X" : " %02X", b);
        text += part;
    }
    return text;
}

TEST_F(WineGateway, ServesTheLinuxClientFromTheSimulatorOnAMappedComPort) {
    const fs::path line = dir / "line";
    SimProcess sim({"--baud", "9600", "--link", line.string()});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    // COM1 is named another device in DUCTA.INI; Wine's COM42 is the simulator's line.
    vr620_test::WriteFile(dir / "DUCTA.INI",
                          "[Ports]\r\nCOM1=\\\\.\\COM42\r\n[Direct]\r\nBaudRate=9600\r\n");
    MapCom(42, line);
    const int port = vr620_test::FreePort();
    auto gatewayd = StartGateway({"--com", "1", "--bind", "127.0.0.1"}, port);

    vr620::GatewayClient client;
    const auto opened = client.Connect("127.0.0.1", port, 10s);
    ASSERT_TRUE(opened.Ok()) << opened.Why().words;
    const auto connected = client.DeviceConnect();
    ASSERT_TRUE(connected.Ok()) << connected.Why().words;
    ASSERT_TRUE(connected.Value().Ok()) << gatewayd->Stdout();
    const auto read = client.Read(0x0102);
    ASSERT_TRUE(read.Ok()) << read.Why().words;
    EXPECT_EQ(Hex(read.Value().data), "AA BB");
    const std::uint8_t value[] = {0x12, 0x34, 0x56};
    EXPECT_TRUE(client.Write(0x0020, value).Value().Ok());
    EXPECT_EQ(Hex(client.Read(0x0020).Value().data), "12 34 56");
    // A point that the device never answers: ERROR after the poll time-out, and the line is
    // still good afterwards.
    EXPECT_FALSE(client.Read(0xFF01).Value().Ok());
    EXPECT_TRUE(client.Read(0x0001).Value().Ok());

    // A Windows device path is no file: nothing may take it for gone while it serves.
    EXPECT_EQ(gatewayd->Stdout().find(") lost"), std::string::npos) << gatewayd->Stdout();

    // The adapter pulled out: the read fails; plugged back in: the next one is served.
    sim.Signal(SIGUSR1);
    ASSERT_TRUE(WaitUntil([&] { return !fs::exists(line); }));
    const auto lost = client.Read(0x0001);
    ASSERT_TRUE(lost.Ok()) << lost.Why().words;
    EXPECT_FALSE(lost.Value().Ok());
    sim.Signal(SIGUSR2);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(line); }));
    const auto back = client.Read(0x0102);
    ASSERT_TRUE(back.Ok()) << back.Why().words;
    EXPECT_TRUE(back.Value().Ok()) << gatewayd->Stdout();

    // The Linux command-line client beside the library's connection.
    ProgramRun tool(VR620_TOOL_PATH,
                    {"--host", "127.0.0.1", "--port", std::to_string(port), "read", "0x0001"},
                    dir.Path());
    ASSERT_TRUE(tool.Wait(60s));
    EXPECT_EQ(tool.ExitCode(), 0) << tool.Stderr();
    EXPECT_EQ(tool.Stdout(), "01\n");
    EXPECT_TRUE(client.DeviceDisconnect().Value().Ok());

    // Ctrl-C (Wine turns SIGINT into it) stops the gateway in order.
    gatewayd->Signal(SIGINT);
    ASSERT_TRUE(gatewayd->Wait(60s));
    EXPECT_EQ(gatewayd->ExitCode(), 0) << gatewayd->Stderr();
    const std::string log = gatewayd->Stdout();
    EXPECT_NE(log.find("SNVT_READ command received from client on "), std::string::npos);
    EXPECT_NE(log.find("-> ERROR"), std::string::npos);
    EXPECT_NE(log.find("Exiting server thread..."), std::string::npos) << log;
}

TEST_F(WineGateway, DialsAndHangsUpTheSimulatedModem) {
    const fs::path line = dir / "line";
    SimProcess sim({"--modem", "--guard-ms", "200", "--baud", "9600", "--link", line.string()});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    vr620_test::WriteFile(dir / "DUCTA.INI", "[Ports]\r\nCOM1=\\\\.\\COM45\r\n");
    MapCom(45, line);
    const int port = vr620_test::FreePort();
    auto gatewayd = StartGateway({"--bind", "127.0.0.1", "--modem"}, port);
    vr620::GatewayClient client;
    // Each modem command may wait 10 s for its answer; an answer must be taken when it comes,
    // so the init list and the dial (about 2 s) must not add up to that.
    client.SetReplyTimeout(20s);
    const auto opened = client.Connect("127.0.0.1", port, 10s);
    ASSERT_TRUE(opened.Ok()) << opened.Why().words;
    const auto connected = client.DeviceConnect();
    ASSERT_TRUE(connected.Ok()) << connected.Why().words;
    ASSERT_TRUE(connected.Value().Ok()) << gatewayd->Stdout();
    EXPECT_EQ(Hex(client.Read(0x0102).Value().data), "AA BB");
    const auto closed = client.DeviceDisconnect();
    ASSERT_TRUE(closed.Ok()) << closed.Why().words;
    EXPECT_TRUE(closed.Value().Ok()) << gatewayd->Stdout();
}

TEST_F(WineGateway, ListensOnIpv6Loopback) {
    vr620_test::WriteFile(dir / "DUCTA.INI", "[Ports]\r\nCOM1=\\\\.\\COM44\r\n");
    const int port = vr620_test::FreePort();
    auto gatewayd = StartGateway({"--bind", "::1"}, port);
    // No device on COM44: the connect is answered ERROR, which shows the way there and back.
    ProgramRun tool(VR620_TOOL_PATH, {"--host", "::1", "--port", std::to_string(port), "connect"},
                    dir.Path());
    ASSERT_TRUE(tool.Wait(60s));
    EXPECT_EQ(tool.ExitCode(), 1) << tool.Stderr();
    const std::string log = gatewayd->Stdout();
    EXPECT_NE(log.find("DEVICE_CONNECT command received from client on "), std::string::npos);
    // And why, in the log's words, with the port's Windows name.
    EXPECT_NE(log.find("Device on COM1: port \\\\.\\COM44 missing"), std::string::npos) << log;
}

TEST_F(WineGateway, APortThatAnotherProgramHoldsIsRefused) {
    const fs::path line = dir / "line";
    SimProcess sim({"--link", line.string()});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    vr620_test::WriteFile(dir / "DUCTA.INI", "[Ports]\r\nCOM1=\\\\.\\COM43\r\n");
    MapCom(43, line);
    const int first = vr620_test::FreePort();
    const int second = vr620_test::FreePort();
    auto holder = StartGateway({"--bind", "127.0.0.1"}, first, "first");
    auto other = StartGateway({"--bind", "127.0.0.1"}, second, "second");
    vr620::GatewayClient a;
    vr620::GatewayClient b;
    const auto openedA = a.Connect("127.0.0.1", first, 10s);
    ASSERT_TRUE(openedA.Ok()) << openedA.Why().words;
    const auto openedB = b.Connect("127.0.0.1", second, 10s);
    ASSERT_TRUE(openedB.Ok()) << openedB.Why().words;
    ASSERT_TRUE(a.DeviceConnect().Value().Ok());
    const auto refused = b.DeviceConnect();
    ASSERT_TRUE(refused.Ok()) << refused.Why().words;
    if (refused.Value().Ok())
        GTEST_SKIP() << "Wine lets a second program open a COM port that one holds, so a busy "
                        "port cannot be shown here";
    EXPECT_FALSE(refused.Value().Ok());
}

}  // namespace
