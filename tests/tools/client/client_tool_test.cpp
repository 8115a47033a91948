// The client library and the vr620 tool against the gateway in this process, which serves the
// simulated controller on a pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "device_folder.h"
#include "gateway.h"
#include "gateway_client.h"
#include "gateway_harness.h"
#include "program_run.h"
#include "sim_process.h"
#include "socket_layer.h"

namespace {

using vr620_test::ProgramRun;
using namespace std::chrono_literals;

class WithGateway : public gateway_test::GatewayOnSimulator {
  protected:
    // Runs vr620 with `args` behind --host 127.0.0.1 --port <gateway>.
    std::unique_ptr<ProgramRun> Tool(std::vector<std::string> args, int port = 0) {
        args.insert(args.begin(),
                    {"--host", "127.0.0.1", "--port", std::to_string(port != 0 ? port : run.port)});
        auto tool = std::make_unique<ProgramRun>(VR620_TOOL_PATH, args, dir.Path());
        EXPECT_TRUE(tool->Wait());
        return tool;
    }
    vr620_test::TempDir dir;
};

TEST_F(WithGateway, LibraryRequestsAndReplies) {
    vr620::GatewayClient client;
    const auto opened = client.Connect("127.0.0.1", run.port, 5s);
    ASSERT_TRUE(opened.Ok()) << opened.Why().words;
    const auto connected = client.DeviceConnect();
    ASSERT_TRUE(connected.Ok()) << connected.Why().words;
    EXPECT_TRUE(connected.Value().Ok());
    const std::uint8_t value[] = {0x01, 0x02, 0x03};
    EXPECT_TRUE(client.Write(0x0020, value).Value().Ok());
    const auto read = client.Read(0x0020);
    ASSERT_TRUE(read.Ok());
    EXPECT_EQ(read.Value().data, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_FALSE(client.Read(0x7777).Value().Ok());
    EXPECT_TRUE(client.DeviceDisconnect().Value().Ok());
    EXPECT_FALSE(gateway_test::DeviceHeld());
}

TEST_F(WithGateway, OneShotReadAndWriteOnOneConnection) {
    auto read = Tool({"read", "0x0102"});
    EXPECT_EQ(read->ExitCode(), 0) << read->Stderr();
    EXPECT_EQ(read->Stdout(), "AA BB\n");
    auto write = Tool({"write", "0x0102", "12 34"});
    EXPECT_EQ(write->ExitCode(), 0) << write->Stderr();
    auto back = Tool({"read", "258"});
    EXPECT_EQ(back->Stdout(), "12 34\n");
    // Each one-shot connected and disconnected again.
    EXPECT_FALSE(gateway_test::DeviceHeld());
    int connects = 0;
    for (const auto& t : run.log.Texts()) {
        connects += t.rfind("DEVICE_CONNECT command received from client on ", 0) == 0;
    }
    EXPECT_EQ(connects, 3);
}

TEST_F(WithGateway, ReachesTheGatewayOverIpv6) {
    if (!gateway_test::HasIpv6Loopback())
        GTEST_SKIP() << "this machine has no IPv6 on its loopback interface";
    auto read = Tool({"--host", "::1", "read", "0x0102"});
    EXPECT_EQ(read->ExitCode(), 0) << read->Stderr();
    EXPECT_EQ(read->Stdout(), "AA BB\n");
}

TEST_F(WithGateway, ConnectAndDisconnectMoveTheSharedCount) {
    EXPECT_EQ(Tool({"connect"})->ExitCode(), 0);
    EXPECT_TRUE(gateway_test::DeviceHeld());
    EXPECT_EQ(Tool({"disconnect"})->ExitCode(), 0);
    EXPECT_FALSE(gateway_test::DeviceHeld());
}

TEST_F(WithGateway, ErrorReplyExitsOne) {
    auto refused = Tool({"read", "0x7777"});
    EXPECT_EQ(refused->ExitCode(), 1);
    EXPECT_NE(refused->Stderr().find("failed: ERROR: request refused by the device"),
              std::string::npos)
        << refused->Stderr();
    folder.MapPorts({{1, "/nonexistent/tty-for-a-test"}});
    auto unopened = Tool({"read", "1"});
    EXPECT_EQ(unopened->ExitCode(), 1);
    EXPECT_NE(unopened->Stderr().find("could not open the device: ERROR: port "
                                      "/nonexistent/tty-for-a-test missing"),
              std::string::npos)
        << unopened->Stderr();
}

TEST_F(WithGateway, UnreachableOrBrokenGatewayExitsTwo) {
    int probe = gateway::CreateServerSocket(0).Value();
    int closedPort = gateway::net::BoundPort(probe);
    gateway::DestroyServerSocket(probe);
    auto unreachable = Tool({"read", "1"}, closedPort);
    EXPECT_EQ(unreachable->ExitCode(), 2);
    EXPECT_NE(unreachable->Stderr().find("cannot reach the gateway"), std::string::npos);

    // A listener that takes the connection and closes it without a reply.
    int rude = gateway::CreateServerSocket(0).Value();
    std::thread closer([rude] {
        int s = accept4(rude, nullptr, nullptr, SOCK_CLOEXEC);
        if (s >= 0) close(s);
    });
    auto broken = Tool({"connect"}, gateway::net::BoundPort(rude));
    closer.join();
    gateway::DestroyServerSocket(rude);
    EXPECT_EQ(broken->ExitCode(), 2);
    EXPECT_NE(broken->Stderr().find("closed the connection"), std::string::npos);
}

// A gateway of before LAST_REASON echoes the question as an empty reply: the tool still says
// ERROR, without a reason, and exits 1.
TEST_F(WithGateway, AGatewayWithoutLastReasonStillGetsItsErrorSaid) {
    int older = gateway::CreateServerSocket(0).Value();
    std::thread server([older] {
        int s = accept4(older, nullptr, nullptr, SOCK_CLOEXEC);
        if (s < 0) return;
        // Each request is 9 bytes; the tool's own time-outs end the waits should it stop.
        std::uint8_t request[9];
        const gateway_test::Bytes error = gateway_test::Framed({0x00, 0x01, 0x00, 0x00, 0xFF});
        const gateway_test::Bytes echo = gateway_test::Framed({});  // 00 10 ... up to its 0
        if (recv(s, request, sizeof request, MSG_WAITALL) == 9 &&
            send(s, error.data(), error.size(), MSG_NOSIGNAL) == 9 &&
            recv(s, request, sizeof request, MSG_WAITALL) == 9) {
            send(s, echo.data(), echo.size(), MSG_NOSIGNAL);
        }
        while (recv(s, request, sizeof request, 0) > 0) {
        }
        close(s);
    });
    auto tool = Tool({"connect"}, gateway::net::BoundPort(older));
    server.join();
    gateway::DestroyServerSocket(older);
    EXPECT_EQ(tool->ExitCode(), 1);
    EXPECT_EQ(tool->Stderr(), "vr620: connect failed: ERROR\n");
}

TEST_F(WithGateway, BenchAnswersEveryRequest) {
    auto bench = Tool({"bench", "--clients", "4", "--requests", "5", "0x0010"});
    EXPECT_EQ(bench->ExitCode(), 0) << bench->Stderr();
    EXPECT_NE(bench->Stdout().find("answered 20 of 20 (0 ERROR replies)"), std::string::npos)
        << bench->Stdout();
    EXPECT_NE(bench->Stdout().find("p50"), std::string::npos);
    EXPECT_FALSE(gateway_test::DeviceHeld());
}

}  // namespace
