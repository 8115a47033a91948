// What the gateway tests share: a log receiver that collects lines, the in-process server on a
// port the system chooses, and a raw TCP client whose every wait has a deadline. It uses only
// the gateway's socket seam, so the tests on it run on Windows too.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "deadline.h"
#include "gateway.h"
#include "loopback.h"
#include "socket_layer.h"
#include "socket_system.h"
#include "wait_until.h"

namespace gateway_test {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

inline constexpr auto kDeadline = 10s;

using vr620_test::WaitUntil;

class CollectingReceiver : public gateway::LogReceiver {
  public:
    void ReceiveLogLine(const char* line) override {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    }
    std::uint32_t LogReceiverId() const override { return 0x00C0FFEE; }

    std::vector<std::string> Lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    // The texts behind the 21-character stamps.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& line : Lines()) texts.push_back(line.size() > 21 ? line.substr(21) : "");
        return texts;
    }
    int Count(const std::string& text) const {
        int n = 0;
        for (const auto& t : Texts()) n += t == text;
        return n;
    }
    bool WaitFor(const std::string& text, int times = 1) const {
        return WaitUntil([&] { return Count(text) >= times; });
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

namespace net = gateway::net;

// A raw client connection, to 127.0.0.1 unless `to` says otherwise, from the address `from`
// when it is given.
class TcpClient {
  public:
    explicit TcpClient(int port, const gateway::IpAddress& to = vr620_test::kLoopback4,
                       const gateway::IpAddress& from = {}) {
        gateway::StartSockets();
        fd_ = vr620_test::ConnectLoopback(port, to, from);
        if (fd_ != net::kInvalidSocket) net::SetNoDelay(fd_);
    }
    ~TcpClient() {
        Close();
        gateway::CleanupSockets();
    }
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    bool Connected() const { return fd_ != net::kInvalidSocket; }
    void Close() {
        net::CloseSocket(fd_);
        fd_ = net::kInvalidSocket;
    }
    // All of `bytes`, unless the connection fails or the deadline passes.
    bool Send(const Bytes& bytes) const {
        const auto end = Clock::now() + kDeadline;
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const long n = net::SendBytes(fd_, bytes.data() + sent, bytes.size() - sent);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && net::LastError().kind != net::ErrorKind::kWouldBlock) return false;
            if (!Ready(net::kPollWritable, end)) return false;
        }
        return true;
    }
    // Up to `count` bytes, fewer when the peer closes or the deadline passes.
    Bytes Receive(std::size_t count, std::chrono::milliseconds deadline = kDeadline) const {
        Bytes out;
        const auto end = Clock::now() + deadline;
        while (out.size() < count) {
            if (!Ready(net::kPollReadable, end)) break;
            std::uint8_t buffer[8192];
            const long n =
                net::ReceiveBytes(fd_, buffer, std::min(sizeof buffer, count - out.size()));
            if (n < 0 && net::LastError().kind == net::ErrorKind::kWouldBlock) continue;
            if (n <= 0) break;
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }
    // One whole message (length field included), or what arrived before the deadline.
    Bytes ReceiveMessage(std::chrono::milliseconds deadline = kDeadline) const {
        Bytes head = Receive(4, deadline);
        if (head.size() < 4) return head;
        std::size_t length = std::size_t{head[0]} << 24 | std::size_t{head[1]} << 16 |
                             std::size_t{head[2]} << 8 | head[3];
        Bytes body = Receive(length, deadline);
        head.insert(head.end(), body.begin(), body.end());
        return head;
    }
    Bytes Exchange(const Bytes& request) const {
        if (!Send(request)) return {};
        return ReceiveMessage();
    }
    // True when the peer closes the connection before the deadline.
    bool WaitClosed(std::chrono::milliseconds deadline = kDeadline) const {
        const auto end = Clock::now() + deadline;
        for (;;) {
            if (!Ready(net::kPollReadable, end)) return false;
            std::uint8_t byte;
            const long n = net::ReceiveBytes(fd_, &byte, 1);
            if (n < 0 && net::LastError().kind == net::ErrorKind::kWouldBlock) continue;
            if (n <= 0) return true;
        }
    }
    int Fd() const { return fd_; }

  private:
    // Waits until the socket is ready for `event` or `end` has passed.
    bool Ready(short event, Clock::time_point end) const {
        const int left = common::MillisecondsUntil(end);
        if (left == 0) return false;
        net::PollEntry entry{fd_, event, 0};
        return net::Poll({&entry, 1}, left) > 0;
    }

    int fd_ = net::kInvalidSocket;
};

// The message with its length field in front.
inline Bytes Framed(const Bytes& body) {
    const auto n = static_cast<std::uint32_t>(body.size());
    Bytes out(4 + body.size());
    out[0] = static_cast<std::uint8_t>(n >> 24);
    out[1] = static_cast<std::uint8_t>(n >> 16);
    out[2] = static_cast<std::uint8_t>(n >> 8);
    out[3] = static_cast<std::uint8_t>(n);
    std::copy(body.begin(), body.end(), out.begin() + 4);
    return out;
}

// A server configuration on a port of the system's choice.
inline gateway::ServerConfig AnyPort() {
    gateway::ServerConfig config;
    config.port = 0;
    return config;
}

// Whether this machine has IPv6 on its loopback interface.
inline bool HasIpv6Loopback() {
    gateway::StartSockets();
    const int s = net::OpenStreamSocket(true);
    const bool bound =
        s != net::kInvalidSocket && net::BindSocket(s, gateway::IpAddress::Ipv6Loopback(), 0);
    net::CloseSocket(s);
    gateway::CleanupSockets();
    return bound;
}

// Whether a client holds the device open, as the device's state tells.
inline bool DeviceHeld() {
    return gateway::GetDeviceStatus().state != gateway::DeviceState::kClosed;
}

// The port of the last "Server started. Listening to port N..." in `log`, or 0.
inline int ListeningPort(const CollectingReceiver& log) {
    int port = 0;
    for (const auto& text : log.Texts())
        std::sscanf(text.c_str(), "Server started. Listening to port %d...", &port);
    return port;
}

using vr620_test::Accepts;

// The in-process server, with the log collected line for line: these tests look at every line
// the server writes (the folding of repeated lines has tests of its own).
class ServerRun {
  public:
    explicit ServerRun(const gateway::ServerConfig& config = AnyPort()) {
        gateway::ConnectionLog().SetFolding(false);
        gateway::SetLogWindow(&log);
        started = gateway::StartGatewayServer(config).Ok();
        port = started ? ListeningPort(log) : 0;
    }
    ~ServerRun() {
        gateway::StopGatewayServer();
        gateway::SetLogWindow(nullptr);
        gateway::ConnectionLog().SetFolding(true);
    }
    ServerRun(const ServerRun&) = delete;
    ServerRun& operator=(const ServerRun&) = delete;

    CollectingReceiver log;
    bool started = false;
    int port = 0;
};

// The server in this process on a port of the system's choice, with the client's view of it.
class ServerFixture : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(run.started); }
    // Where in the log `text` stands first, or the end.
    std::size_t LogIndex(const std::string& text) const {
        auto texts = run.log.Texts();
        return std::find(texts.begin(), texts.end(), text) - texts.begin();
    }
    // The server's socket number of the client that connected last (from its log line).
    int LastConnectedNumber() const {
        int number = -1;
        for (const auto& text : run.log.Texts()) {
            if (text.ends_with(" connected")) std::sscanf(text.c_str(), "Client on %d", &number);
        }
        return number;
    }
    // Connects and waits until the server has the client in its table and has logged it.
    std::unique_ptr<TcpClient> Connect() {
        const unsigned before = gateway::GetClientCount();
        const auto logged = [&] {
            int n = 0;
            for (const auto& text : run.log.Texts()) n += text.ends_with(" connected");
            return n;
        };
        const int loggedBefore = logged();
        auto client = std::make_unique<TcpClient>(run.port);
        EXPECT_TRUE(client->Connected());
        EXPECT_TRUE(WaitUntil([&] {
            return gateway::GetClientCount() == before + 1 && logged() == loggedBefore + 1;
        }));
        return client;
    }
    ServerRun run;
};

}  // namespace gateway_test
