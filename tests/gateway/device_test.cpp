// The gateway and the device session against the simulated controller on pseudo-terminals,
// through this program's own copy of libducta.so and its DUCTA.INI; a stop while the line is
// busy.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device_folder.h"
#include "device_session.h"
#include "gateway_harness.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace {

using gateway_test::Bytes;
using gateway_test::Framed;
using gateway_test::ServerRun;
using gateway_test::TcpClient;
using gateway_test::WaitUntil;
using vr620_test::SimProcess;

const Bytes kConnect = Framed({0x00, 0x01, 0x00, 0x00, 0x00});
const Bytes kDisconnect = Framed({0x00, 0x02, 0x00, 0x00, 0x00});
const Bytes kConnectOk{0, 0, 0, 5, 0x00, 0x01, 0x00, 0x00, 0x00};
const Bytes kConnectFailed{0, 0, 0, 5, 0x00, 0x01, 0x00, 0x00, 0xFF};
const Bytes kDisconnectOk{0, 0, 0, 5, 0x00, 0x02, 0x00, 0x00, 0x00};

// The threads of this process just now.
std::size_t ThreadCount() {
    std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(tasks, std::filesystem::directory_iterator()));
}

Bytes ReadRequest(std::uint16_t snvt) {
    return Framed(
        {0x00, 0x03, static_cast<std::uint8_t>(snvt >> 8), static_cast<std::uint8_t>(snvt), 0x00});
}

Bytes WriteRequest(std::uint16_t snvt, const Bytes& value) {
    Bytes body{0x00, 0x04, static_cast<std::uint8_t>(snvt >> 8), static_cast<std::uint8_t>(snvt),
               0x00};
    body.insert(body.end(), value.begin(), value.end());
    return Framed(body);
}

class Device : public gateway_test::GatewayOnSimulator {
  protected:
    void SetUp() override {
        GatewayOnSimulator::SetUp();
        if (HasFatalFailure()) return;
        client = std::make_unique<TcpClient>(run.port);
        ASSERT_TRUE(client->Connected());
    }
    std::unique_ptr<TcpClient> client;
};

TEST_F(Device, ExamplesByteForByte) {
    EXPECT_EQ(client->Exchange(kConnect), kConnectOk);
    EXPECT_TRUE(gateway_test::DeviceHeld());
    EXPECT_EQ(client->Exchange(ReadRequest(0x0102)),
              (Bytes{0, 0, 0, 7, 0x00, 0x03, 0x01, 0x02, 0x00, 0xAA, 0xBB}));
    EXPECT_EQ(client->Exchange(Framed({0x00, 0x04, 0x01, 0x02, 0x00, 0x12, 0x34})),
              (Bytes{0, 0, 0, 5, 0x00, 0x04, 0x01, 0x02, 0x00}));
    // The value written is read back; the request's status byte is ignored.
    EXPECT_EQ(client->Exchange(Framed({0x00, 0x03, 0x01, 0x02, 0xFF})),
              (Bytes{0, 0, 0, 7, 0x00, 0x03, 0x01, 0x02, 0x00, 0x12, 0x34}));
    // A point that answers without data: five bytes, OK.
    EXPECT_EQ(client->Exchange(ReadRequest(0x0200)),
              (Bytes{0, 0, 0, 5, 0x00, 0x03, 0x02, 0x00, 0x00}));
    // Refused and silent points: ERROR.
    EXPECT_EQ(client->Exchange(ReadRequest(0x7777)),
              (Bytes{0, 0, 0, 5, 0x00, 0x03, 0x77, 0x77, 0xFF}));
    EXPECT_EQ(client->Exchange(ReadRequest(0xFF01)),
              (Bytes{0, 0, 0, 5, 0x00, 0x03, 0xFF, 0x01, 0xFF}));
    EXPECT_EQ(client->Exchange(WriteRequest(0x7777, {0x01})),
              (Bytes{0, 0, 0, 5, 0x00, 0x04, 0x77, 0x77, 0xFF}));
    EXPECT_EQ(client->Exchange(kDisconnect), kDisconnectOk);
    EXPECT_FALSE(gateway_test::DeviceHeld());
    int ok = 0;
    int failed = 0;
    for (const auto& t : run.log.Texts()) {
        if (t.rfind("SNVT_READ command received from client on ", 0) != 0) continue;
        ok += t.ends_with(" -> OK");
        failed += t.ends_with(" -> ERROR");
    }
    EXPECT_EQ(ok, 3);
    EXPECT_EQ(failed, 2);
}

TEST_F(Device, AnswerWithoutADataFieldIsAFailedRead) {
    ASSERT_EQ(client->Exchange(kConnect), kConnectOk);
    for (std::uint16_t snvt : {0xFF06, 0xFF07}) {
        EXPECT_EQ(client->Exchange(ReadRequest(snvt)),
                  (Bytes{0, 0, 0, 5, 0x00, 0x03, static_cast<std::uint8_t>(snvt >> 8),
                         static_cast<std::uint8_t>(snvt), 0xFF}))
            << snvt;
    }
    EXPECT_EQ(client->Exchange(ReadRequest(0x0001)),
              (Bytes{0, 0, 0, 6, 0x00, 0x03, 0x00, 0x01, 0x00, 0x01}));
}

TEST_F(Device, WriteAboveTheFrameLimitNeverReachesTheDevice) {
    ASSERT_EQ(client->Exchange(kConnect), kConnectOk);
    Bytes largest(253);
    for (std::size_t i = 0; i < largest.size(); ++i) largest[i] = static_cast<std::uint8_t>(~i);
    EXPECT_EQ(client->Exchange(WriteRequest(0x0300, Bytes(254, 0xEE))),
              (Bytes{0, 0, 0, 5, 0x00, 0x04, 0x03, 0x00, 0xFF}));
    Bytes unchanged = client->Exchange(ReadRequest(0x0300));
    ASSERT_EQ(unchanged.size(), 9u + 253u);
    EXPECT_EQ(unchanged[9 + 5], 0x05);
    EXPECT_EQ(client->Exchange(WriteRequest(0x0300, largest)),
              (Bytes{0, 0, 0, 5, 0x00, 0x04, 0x03, 0x00, 0x00}));
    Bytes back = client->Exchange(ReadRequest(0x0300));
    ASSERT_EQ(back.size(), 9u + 253u);
    EXPECT_EQ(Bytes(back.begin() + 9, back.end()), largest);
}

TEST_F(Device, TwoClientsShareOneOpen) {
    TcpClient second(run.port);
    EXPECT_EQ(client->Exchange(kConnect), kConnectOk);
    EXPECT_EQ(second.Exchange(kConnect), kConnectOk);
    EXPECT_TRUE(gateway_test::DeviceHeld());
    EXPECT_EQ(client->Exchange(kDisconnect), kDisconnectOk);
    EXPECT_TRUE(gateway_test::DeviceHeld());
    EXPECT_EQ(second.Exchange(ReadRequest(0x0001)),
              (Bytes{0, 0, 0, 6, 0x00, 0x03, 0x00, 0x01, 0x00, 0x01}));
    // A client that leaves without a disconnect keeps its share.
    second.Close();
    EXPECT_TRUE(gateway_test::WaitUntil([] { return gateway::GetClientCount() == 1; }));
    EXPECT_TRUE(gateway_test::DeviceHeld());
    EXPECT_EQ(client->Exchange(ReadRequest(0x0001)).size(), 10u);
    EXPECT_EQ(client->Exchange(kDisconnect), kDisconnectOk);
    EXPECT_FALSE(gateway_test::DeviceHeld());
    EXPECT_EQ(client->Exchange(ReadRequest(0x0001)),
              (Bytes{0, 0, 0, 5, 0x00, 0x03, 0x00, 0x01, 0xFF}));
}

TEST_F(Device, FailedConnectIsTriedAfreshNextTime) {
    folder.MapPorts({{1, "/nonexistent/tty-for-a-test"}});
    EXPECT_EQ(client->Exchange(kConnect), kConnectFailed);
    EXPECT_EQ(client->Exchange(kConnect), kConnectFailed);
    EXPECT_FALSE(gateway_test::DeviceHeld());
    folder.MapPorts({{1, sim.DevicePath()}});
    EXPECT_EQ(client->Exchange(kConnect), kConnectOk);
    EXPECT_TRUE(gateway_test::DeviceHeld());
}

// Stop while the line is busy: a read that the controller leaves unanswered, and a modem dial.
TEST(DeviceStop, WhileTheLineIsBusyTheDeviceIsClosedFirstAndNoThreadIsLeft) {
    struct Case {
        std::vector<std::string> simArgs;
        std::string ini;
        gateway::ModemSettings modem;
        Bytes request;
        std::string traced;  // the simulator has the request
    };
    const Case cases[] = {
        {{"--baud", "38400", "--turnaround", "1"},
         "",
         {},
         ReadRequest(0xFF01),
         "rx 02 81 02 FF 01"},
        {{"--baud", "38400", "--modem", "--guard-ms", "100", "--dial-delay", "1500"},
         "[Modem]\r\nBaudRate=38400\r\n",
         {true, "ATE0\r", "ATDT 123\r", ";+++;ATH\r"},
         kConnect,
         "command: ATDT 123"},
    };
    // A sanitizer's run-time starts a helper thread with the first thread of the process.
    std::thread([] {}).join();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.traced);
        vr620_test::TempDir dir;
        const auto trace = dir.Path() / "trace.txt";
        std::vector<std::string> args = c.simArgs;
        args.push_back("--verbose");
        SimProcess sim(args, trace.string());
        ASSERT_TRUE(sim.Started()) << sim.Error();
        gateway_test::DeviceFolder folder;
        folder.MapPorts({{1, sim.DevicePath()}}, c.ini);
        const std::size_t threads = ThreadCount();
        {
            gateway::ServerConfig config = gateway_test::AnyPort();
            config.modem = c.modem;
            ServerRun run(config);
            ASSERT_TRUE(run.started);
            TcpClient client(run.port);
            if (!c.modem.useModem) {
                ASSERT_EQ(client.Exchange(kConnect), kConnectOk);
            }
            ASSERT_TRUE(client.Send(c.request));
            ASSERT_TRUE(WaitUntil(
                [&] { return vr620_test::ReadFile(trace).find(c.traced) != std::string::npos; }));
            EXPECT_TRUE(gateway::StopGatewayServer());
            EXPECT_FALSE(gateway_test::DeviceHeld());
            EXPECT_FALSE(gateway_test::Accepts(run.port));
            EXPECT_TRUE(client.WaitClosed());
            EXPECT_EQ(run.log.Texts().back(), "Exiting server thread...");
            EXPECT_EQ(ThreadCount(), threads);
        }
        if (c.modem.useModem) {
            // The line was hung up.
            EXPECT_NE(vr620_test::ReadFile(trace).find("command: ATH"), std::string::npos);
        } else {
            // The port was released: it opens again.
            gateway::DeviceSession session;
            EXPECT_TRUE(session.Open().Ok());
            EXPECT_TRUE(session.Close().Ok());
        }
    }
}

// What a status display is handed: every state the device goes through.
class StateReceiver : public gateway::DeviceStatusReceiver {
  public:
    void ReceiveDeviceStatus(const gateway::DeviceStatus& status) override {
        std::lock_guard lock(mutex_);
        if (states_.empty() || states_.back() != status.state) states_.push_back(status.state);
    }
    std::vector<gateway::DeviceState> States() const {
        std::lock_guard lock(mutex_);
        return states_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<gateway::DeviceState> states_;
};

// The adapter pulled out and plugged back at the same path while two clients hold the device
// open: they see ERROR while it is away and OK once it is back, without reconnecting; the
// device's state follows, without a request.
TEST(Unplug, ServiceResumesWithoutAnyClientReconnecting) {
    vr620_test::TempDir dir;
    const std::filesystem::path link = dir / "ttyVR620";
    SimProcess sim{{"--link", link.string(), "--baud", "38400", "--turnaround", "1"}};
    ASSERT_TRUE(sim.Started()) << sim.Error();
    gateway_test::DeviceFolder folder;
    folder.MapPorts({{1, link.string()}});
    ServerRun run;
    ASSERT_TRUE(run.started);
    StateReceiver display;
    gateway::SetDeviceStatusReceiver(&display);
    TcpClient first(run.port);
    TcpClient second(run.port);
    ASSERT_EQ(first.Exchange(kConnect), kConnectOk);
    ASSERT_EQ(second.Exchange(kConnect), kConnectOk);
    const Bytes value{0, 0, 0, 7, 0x00, 0x03, 0x01, 0x02, 0x00, 0xAA, 0xBB};
    const Bytes failed{0, 0, 0, 5, 0x00, 0x03, 0x01, 0x02, 0xFF};
    EXPECT_EQ(first.Exchange(ReadRequest(0x0102)), value);
    gateway::DeviceStatus status = gateway::GetDeviceStatus();
    EXPECT_EQ(status.com, 1);
    EXPECT_EQ(status.path, link.string());
    EXPECT_EQ(status.state, gateway::DeviceState::kOpen);
    EXPECT_EQ(status.clients, 2u);

    kill(sim.Pid(), SIGUSR1);
    ASSERT_TRUE(gateway_test::WaitUntil(
        [] { return gateway::GetDeviceStatus().state == gateway::DeviceState::kLost; }));
    EXPECT_EQ(first.Exchange(ReadRequest(0x0102)), failed);
    EXPECT_EQ(second.Exchange(ReadRequest(0x0102)), failed);
    EXPECT_TRUE(gateway_test::DeviceHeld());
    EXPECT_EQ(gateway::GetDeviceStatus().lastReason, "port " + link.string() + " lost");

    kill(sim.Pid(), SIGUSR2);
    ASSERT_TRUE(gateway_test::WaitUntil(
        [] { return gateway::GetDeviceStatus().state == gateway::DeviceState::kOpen; }));
    EXPECT_EQ(first.Exchange(ReadRequest(0x0102)), value);
    EXPECT_EQ(second.Exchange(ReadRequest(0x0102)), value);
    gateway::SetDeviceStatusReceiver(nullptr);
    using gateway::DeviceState;
    EXPECT_EQ(display.States(), (std::vector<DeviceState>{DeviceState::kClosed, DeviceState::kOpen,
                                                          DeviceState::kLost, DeviceState::kOpen}));
    const auto texts = run.log.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Device on COM1 (" + link.string() + ") lost"),
              1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Device on COM1 (" + link.string() + ") back"),
              1);
}

// The device session alone, as the device worker uses it.
class Session : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(first.Started()) << first.Error();
        ASSERT_TRUE(second.Started()) << second.Error();
        folder.MapPorts({{1, first.DevicePath()},
                         {3, second.DevicePath()},
                         {5, "/nonexistent/tty-for-a-test"}});
    }
    void TearDown() override { static_cast<void>(session.ForceClose()); }
    Bytes Read(std::uint16_t snvt) {
        auto read = session.Read(snvt);
        return read.Ok() ? read.Value() : Bytes{0xEE, 0xEE, 0xEE};
    }
    gateway::DeviceSession session;
    SimProcess first{{"--baud", "38400", "--turnaround", "1"}};
    SimProcess second{{"--baud", "38400", "--turnaround", "1"}};
    gateway_test::DeviceFolder folder;
};

TEST_F(Session, SetChannelMovesAnOpenDeviceAndKeepsTheCount) {
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(session.Open().Ok());
    const std::uint8_t value[] = {0x99};
    ASSERT_TRUE(session.Write(0x0010, value).Ok());
    EXPECT_TRUE(session.SetChannel(2).Ok());
    EXPECT_EQ(session.OpenCount(), 3);
    EXPECT_EQ(session.Com(), 3);
    EXPECT_EQ(Read(0x0010), (Bytes{0x12, 0x34}));  // the other controller
    EXPECT_TRUE(session.SetChannel(2).Ok());            // the same channel: nothing happens
    EXPECT_EQ(session.OpenCount(), 3);
    EXPECT_TRUE(session.SetChannel(0).Ok());
    EXPECT_EQ(Read(0x0010), (Bytes{0x99}));
}

TEST_F(Session, SetChannelWhileClosedOnlyStoresIt) {
    EXPECT_TRUE(session.SetChannel(2).Ok());
    EXPECT_EQ(session.OpenCount(), 0);
    ASSERT_TRUE(session.Open().Ok());
    const std::uint8_t value[] = {0x42};
    ASSERT_TRUE(session.Write(0x0010, value).Ok());
    ASSERT_TRUE(session.SetChannel(0).Ok());
    EXPECT_EQ(Read(0x0010), (Bytes{0x12, 0x34}));
}

TEST_F(Session, FailedReopenLeavesTheCountAtZero) {
    ASSERT_TRUE(session.Open().Ok());
    ASSERT_TRUE(session.Open().Ok());
    EXPECT_FALSE(session.SetChannel(4).Ok());
    EXPECT_EQ(session.OpenCount(), 0);
    EXPECT_EQ(session.Com(), 5);
    EXPECT_EQ(Read(0x0001), (Bytes{0xEE, 0xEE, 0xEE}));
    // The next connect opens afresh once the channel is good.
    EXPECT_TRUE(session.SetChannel(0).Ok());
    EXPECT_TRUE(session.Open().Ok());
    EXPECT_EQ(session.OpenCount(), 1);
    EXPECT_EQ(Read(0x0001), (Bytes{0x01}));
}

TEST_F(Session, ForceCloseFromFiveClosesTheDevice) {
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(session.Open().Ok());
    EXPECT_TRUE(session.ForceClose().Ok());
    EXPECT_EQ(session.OpenCount(), 0);
    EXPECT_EQ(Read(0x0001), (Bytes{0xEE, 0xEE, 0xEE}));
    EXPECT_TRUE(session.Close().Ok());  // at count 0: nothing to do
    EXPECT_EQ(session.OpenCount(), 0);
}

TEST(ModemSession, FailedCloseLeavesTheCountAtZeroAndTheNextOpenStartsAfresh) {
    gateway::DeviceSession session;
    SimProcess modem{{"--baud", "38400", "--modem", "--guard-ms", "100", "--dial-delay", "50"}};
    ASSERT_TRUE(modem.Started()) << modem.Error();
    gateway_test::DeviceFolder folder;
    folder.MapPorts({{1, modem.DevicePath()}}, "[Modem]\r\nBaudRate=38400\r\n");
    // The modem refuses the last hang-up command, so the library's close fails.
    session.SetModemSettings({true, "ATE0\r", "ATDT 123\r", ";+++;ATY\r"});
    ASSERT_TRUE(session.Open().Ok());
    EXPECT_FALSE(session.Close().Ok());
    EXPECT_EQ(session.OpenCount(), 0);
    // Had the count stayed, this open would only count up to 2.
    session.SetModemSettings({});
    EXPECT_TRUE(session.Open().Ok());
    EXPECT_EQ(session.OpenCount(), 1);
    EXPECT_TRUE(session.ForceClose().Ok());
}

}  // namespace
