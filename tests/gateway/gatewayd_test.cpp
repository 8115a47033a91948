// vr620-gatewayd as a program: help, bad options, a port in use, an orderly stop on a signal.
#include <gtest/gtest.h>
#include <signal.h>

#include "gateway_harness.h"
#include "loopback.h"
#include "program_run.h"
#include "socket_layer.h"
#include "temp_dir.h"

namespace {

using vr620_test::ProgramRun;

TEST(Gatewayd, HelpAndBadOptions) {
    vr620_test::TempDir dir;
    ProgramRun help(VR620_GATEWAYD_PATH, {"--help"}, dir.Path());
    ASSERT_TRUE(help.Wait());
    EXPECT_EQ(help.ExitCode(), 0);
    EXPECT_NE(help.Stdout().find("--hangup TEXT"), std::string::npos);
    for (auto args : {std::vector<std::string>{"--com", "256"},
                      {"--port", "x"},
                      {"--bogus"},
                      {"--allow", "10.0.0.0/33"},
                      {"--allow", "127.0.0.1", "--allow", "10.0.0"},
                      {"--bind", "localhost"},
                      {"--idle-timeout", "-1"},
                      {"--idle-timeout"}}) {
        ProgramRun bad(VR620_GATEWAYD_PATH, args, dir.Path());
        ASSERT_TRUE(bad.Wait());
        EXPECT_EQ(bad.ExitCode(), 2) << args.back();
        EXPECT_NE(bad.Stderr().find("vr620-gatewayd: "), std::string::npos);
        EXPECT_NE(bad.Stderr().find(args.back()), std::string::npos) << bad.Stderr();
    }
}

TEST(Gatewayd, PortInUseExitsNonZeroWithAMessage) {
    vr620_test::TempDir dir;
    int occupant = gateway::CreateServerSocket(0);
    ASSERT_NE(occupant, gateway::kInvalidSocket);
    ProgramRun run(VR620_GATEWAYD_PATH,
                   {"--port", std::to_string(gateway::net::BoundPort(occupant))}, dir.Path());
    ASSERT_TRUE(run.Wait());
    EXPECT_EQ(run.ExitCode(), 1);
    EXPECT_NE(run.Stderr().find("cannot be opened"), std::string::npos) << run.Stderr();
    EXPECT_NE(run.Stdout().find("Error in creating server connection!"), std::string::npos);
    gateway::DestroyServerSocket(occupant);
}

TEST(Gatewayd, SignalsStopItInOrderWithExitZero) {
    // Over IPv6 too where the machine has it: bound to ::1 and serving it alone.
    const bool ipv6 = gateway_test::HasIpv6Loopback();
    for (int signal : {SIGTERM, SIGINT}) {
        const bool overIpv6 = ipv6 && signal == SIGINT;
        vr620_test::TempDir dir;
        int port = vr620_test::FreePort();
        ProgramRun run(VR620_GATEWAYD_PATH,
                       {"--port", std::to_string(port), "--com", "9", "--bind",
                        overIpv6 ? "::1" : "127.0.0.1", "--allow", "192.168.0.0/16", "--allow",
                        overIpv6 ? "::1" : "127.0.0.0/8", "--idle-timeout", "600"},
                       dir.Path());
        std::string listening = "Server started. Listening to port " + std::to_string(port);
        ASSERT_TRUE(gateway_test::WaitUntil([&] {
            return run.Stdout().find(listening) != std::string::npos;
        })) << run.Stdout()
            << run.Stderr();
        gateway_test::TcpClient client(
            port, overIpv6 ? gateway::IpAddress::Ipv6Loopback() : vr620_test::kLoopback4);
        EXPECT_EQ(client.Exchange(gateway_test::Framed({0x41})),
                  (gateway_test::Bytes{0, 0, 0, 1, 0x41}));
        run.Signal(signal);
        ASSERT_TRUE(run.Wait());
        EXPECT_EQ(run.ExitCode(), 0);
        std::string out = run.Stdout();
        EXPECT_NE(out.find("Log window activated (0x00000001)"), std::string::npos);
        EXPECT_NE(out.find("Unknown message received from client on "), std::string::npos);
        EXPECT_NE(out.rfind("Exiting server thread...\n"), std::string::npos);
    }
}

}  // namespace
