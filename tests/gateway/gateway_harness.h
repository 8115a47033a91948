// What the gateway tests share: a log receiver that collects lines, the in-process server on a
// port the system chooses, and a raw TCP client on 127.0.0.1 whose every wait has a deadline.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gateway.h"
#include "loopback.h"
#include "deadline.h"
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

// A raw client connection.
class TcpClient {
  public:
    explicit TcpClient(int port) {
        fd_ = vr620_test::ConnectLoopback(port);
        int on = 1;
        if (fd_ >= 0) setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~TcpClient() { Close(); }
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    bool Connected() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    bool Send(const Bytes& bytes) const {
        return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    // Up to `count` bytes, fewer when the peer closes or the deadline passes.
    Bytes Receive(std::size_t count, std::chrono::milliseconds deadline = kDeadline) const {
        Bytes out;
        const auto end = Clock::now() + deadline;
        while (out.size() < count) {
            const int left = common::MillisecondsUntil(end);
            if (left == 0) break;
            pollfd pfd{fd_, POLLIN, 0};
            if (poll(&pfd, 1, left) <= 0) break;
            std::uint8_t buffer[8192];
            ssize_t n = recv(fd_, buffer, std::min(sizeof buffer, count - out.size()), 0);
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
            const int left = common::MillisecondsUntil(end);
            if (left == 0) return false;
            pollfd pfd{fd_, POLLIN, 0};
            if (poll(&pfd, 1, left) <= 0) return false;
            std::uint8_t byte;
            ssize_t n = recv(fd_, &byte, 1, 0);
            if (n <= 0) return true;
        }
    }
    int Fd() const { return fd_; }

  private:
    int fd_ = -1;
};

// The message with its length field in front.
inline Bytes Framed(const Bytes& body) {
    auto n = static_cast<std::uint32_t>(body.size());
    Bytes out{static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
              static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A server configuration on a port of the system's choice.
inline gateway::ServerConfig AnyPort() {
    gateway::ServerConfig config;
    config.port = 0;
    return config;
}

// The threads of this process just now.
inline std::size_t ThreadCount() {
    std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(tasks, std::filesystem::directory_iterator()));
}

// The in-process server, with the log collected.
class ServerRun {
  public:
    explicit ServerRun(const gateway::ServerConfig& config = AnyPort()) {
        gateway::SetLogWindow(&log);
        started = gateway::StartGatewayServer(config);
        port = gateway::GatewayServerPort();
    }
    ~ServerRun() {
        gateway::StopGatewayServer();
        gateway::SetLogWindow(nullptr);
    }
    ServerRun(const ServerRun&) = delete;
    ServerRun& operator=(const ServerRun&) = delete;

    CollectingReceiver log;
    bool started = false;
    int port = 0;
};

}  // namespace gateway_test
