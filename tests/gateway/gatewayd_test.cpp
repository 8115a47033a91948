// vr620-gatewayd as a program: help, bad options, a port in use, an orderly stop on a signal,
// what it tells a service manager.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>

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
                      {"--idle-timeout"},
                      {"--tls-port", "0"},
                      {"--tls-only"}}) {
        ProgramRun bad(VR620_GATEWAYD_PATH, args, dir.Path());
        ASSERT_TRUE(bad.Wait());
        EXPECT_EQ(bad.ExitCode(), 2) << args.back();
        // The line that says what was wrong comes first, and the synopsis after it, not every
        // option.
        const std::string said = bad.Stderr();
        const std::string first = said.substr(0, said.find('\n'));
        EXPECT_EQ(first.rfind("vr620-gatewayd: ", 0), 0u) << said;
        EXPECT_NE(first.find(args.back()), std::string::npos) << said;
        EXPECT_EQ(said.find("hang-up commands"), std::string::npos) << said;
        EXPECT_TRUE(said.ends_with("Try 'vr620-gatewayd --help' for the options.\n")) << said;
    }
}

// A port it cannot listen on: exit 1 with the cause in words.
TEST(Gatewayd, PortInUseOrABindAddressOfAnotherMachineExitsOneWithTheCause) {
    vr620_test::TempDir dir;
    int occupant = gateway::CreateServerSocket(0).Value();
    ASSERT_NE(occupant, gateway::kInvalidSocket);
    ProgramRun run(VR620_GATEWAYD_PATH,
                   {"--port", std::to_string(gateway::net::BoundPort(occupant))}, dir.Path());
    ASSERT_TRUE(run.Wait());
    EXPECT_EQ(run.ExitCode(), 1);
    EXPECT_NE(run.Stderr().find("is in use by another program"), std::string::npos)
        << run.Stderr();
    EXPECT_NE(run.Stdout().find("Error in creating server connection!"), std::string::npos);
    gateway::DestroyServerSocket(occupant);

    // 192.0.2.1 is an address for documentation, never one of this machine's.
    ProgramRun elsewhere(VR620_GATEWAYD_PATH, {"--bind", "192.0.2.1"}, dir.Path());
    ASSERT_TRUE(elsewhere.Wait());
    EXPECT_EQ(elsewhere.ExitCode(), 1);
    EXPECT_NE(elsewhere.Stderr().find(
                  "vr620-gatewayd: the bind address 192.0.2.1 is not of this machine\n"),
              std::string::npos)
        << elsewhere.Stderr();
}

TEST(Gatewayd, SignalsStopItInOrderWithExitZero) {
    // Over IPv6 too where the machine has it: bound to ::1 and serving it alone.
    const bool ipv6 = gateway_test::HasIpv6Loopback();
    for (int signal : {SIGTERM, SIGINT}) {
        const bool overIpv6 = ipv6 && signal == SIGINT;
        vr620_test::TempDir dir;
        int port = vr620_test::FreePort();
        // The log in a file too: in folders made for it, or (SIGINT) under a file that is no
        // folder, which must not stop anything.
        vr620_test::WriteFile(dir / "no-folder", "");
        const auto logFile = dir / (signal == SIGTERM ? "logs" : "no-folder") / "gatewayd.log";
        ProgramRun run(
            VR620_GATEWAYD_PATH,
            {"--port", std::to_string(port), "--com", "9", "--bind", overIpv6 ? "::1" : "127.0.0.1",
             "--allow", "192.168.0.0/16", "--allow", overIpv6 ? "::1" : "127.0.0.0/8",
             "--idle-timeout", "600", "--log-file", logFile.string()},
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
        EXPECT_EQ(out.find("Log window activated"), std::string::npos);  // it has no window
        EXPECT_NE(out.find("Unknown message received from client on "), std::string::npos);
        EXPECT_NE(out.rfind("Exiting server thread...\n"), std::string::npos);
        if (signal == SIGTERM) {
            EXPECT_EQ(vr620_test::ReadFile(logFile), out);
        } else {
            const std::string err = run.Stderr();
            const std::string told = "connection log " + logFile.string() + " not written: ";
            EXPECT_NE(err.find(told), std::string::npos) << err;
            EXPECT_EQ(err.find(told), err.rfind(told)) << "told once: " << err;
        }
    }
}

// The service manager's side of NOTIFY_SOCKET: a datagram socket that collects the messages.
class NotifySocket {
  public:
    explicit NotifySocket(const std::filesystem::path& path) : path_(path) {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.string().copy(address.sun_path, sizeof address.sun_path - 1);
        bound_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() { close(fd_); }
    bool Bound() const { return bound_; }
    // Waits for a message that `wanted` accepts, collecting all that come; false at the deadline.
    template <typename Wanted>
    bool WaitFor(Wanted wanted) {
        const auto end = gateway_test::Clock::now() + gateway_test::kDeadline;
        for (const auto& m : messages_)
            if (wanted(m)) return true;
        for (int left; (left = common::MillisecondsUntil(end)) > 0;) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, left) <= 0) continue;
            char buffer[4096];
            const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) continue;
            messages_.emplace_back(buffer, static_cast<std::size_t>(n));
            if (wanted(messages_.back())) return true;
        }
        return false;
    }
    bool WaitForMessage(const std::string& message) {
        return WaitFor([&](const std::string& m) { return m == message; });
    }
    const std::vector<std::string>& Messages() const { return messages_; }

  private:
    std::filesystem::path path_;
    int fd_ = -1;
    bool bound_ = false;
    std::vector<std::string> messages_;
};

TEST(Gatewayd, TellsTheServiceManagerReadyStatusWatchdogAndStopping) {
    vr620_test::TempDir dir;
    NotifySocket manager(dir / "notify");
    ASSERT_TRUE(manager.Bound());
    const int port = vr620_test::FreePort();
    // The child takes this process's environment; nothing else runs here meanwhile.
    setenv("NOTIFY_SOCKET", (dir / "notify").c_str(), 1);
    setenv("WATCHDOG_USEC", "400000", 1);
    ProgramRun run(VR620_GATEWAYD_PATH,
                   {"--port", std::to_string(port), "--bind", "127.0.0.1", "--com", "9"},
                   dir.Path());
    unsetenv("NOTIFY_SOCKET");
    unsetenv("WATCHDOG_USEC");

    ASSERT_TRUE(manager.WaitForMessage("READY=1")) << run.Stderr();
    // Ready means listening.
    EXPECT_NE(run.Stdout().find("Listening to port " + std::to_string(port)), std::string::npos);
    gateway_test::TcpClient client(port);
    ASSERT_TRUE(client.Connected());
    const auto status = [](const std::string& text) {
        return [text](const std::string& m) {
            return m.rfind("STATUS=", 0) == 0 && m.find(text) != std::string::npos;
        };
    };
    EXPECT_TRUE(manager.WaitFor(status("COM9 (/dev/ttyS8): closed, 0 clients")));
    // The very first status names the port of --com already.
    const auto first = std::ranges::find_if(manager.Messages(), [](const std::string& m) {
        return m.rfind("STATUS=", 0) == 0;
    });
    ASSERT_NE(first, manager.Messages().end());
    EXPECT_NE(first->find("COM9"), std::string::npos) << *first;
    EXPECT_TRUE(manager.WaitFor(status("COM9 (/dev/ttyS8): closed, 1 client")));
    // Asked for a watchdog: told from the serving loop, twice at least.
    EXPECT_TRUE(manager.WaitFor(
        [n = 0](const std::string& m) mutable { return m == "WATCHDOG=1" && ++n == 2; }));
    run.Signal(SIGTERM);
    EXPECT_TRUE(manager.WaitForMessage("STOPPING=1"));
    ASSERT_TRUE(run.Wait());
    EXPECT_EQ(run.ExitCode(), 0);
}

}  // namespace
