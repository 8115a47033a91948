// What the tests of the manager's shell share: waiting for a condition while the windows run,
// answering a modal dialog, a free TCP port, and a small gateway client.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <vector>

#include "loopback.h"
#include "manager_fixture.h"
#include "message_format.h"
#include "socket_layer.h"
#include "texts/language_texts.h"

namespace vr620_test {

inline constexpr int kDeadlineMs = 20000;

// Puts the shipped language libraries beside the test's program path.
inline void InstallLanguages(const ManagerTest& test, const std::filesystem::path& folder) {
    for (const char* code : {"FIN", "ENG", "SWE"}) {
        const std::string name = std::string("VR620Manager_") + code + ".so";
        std::filesystem::copy_file(std::filesystem::path(VR620_LANGUAGE_LIBRARY_DIR) / name,
                                   folder / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    (void)test;
}

// Runs the event loop until `condition` holds or the deadline passes; returns the condition.
inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = kDeadlineMs) {
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Arranges for `act` to run on `dialog` as soon as it is shown modally; `act` must end it.
// A dialog that `act` leaves open is rejected after the deadline, so no test hangs on it.
inline void WhenShown(QWidget& dialog, std::function<void()> act) {
    auto* poll = new QTimer(&dialog);
    poll->setInterval(10);
    auto started = std::make_shared<QDeadlineTimer>(kDeadlineMs);
    QObject::connect(poll, &QTimer::timeout, &dialog, [poll, &dialog, act, started] {
        if (dialog.isVisible()) {
            poll->stop();
            poll->deleteLater();
            act();
            if (dialog.isVisible()) {
                ADD_FAILURE() << "the dialog stayed open";
                dialog.close();
            }
        } else if (started->hasExpired()) {
            poll->stop();
            poll->deleteLater();
            ADD_FAILURE() << "the dialog was not shown";
        }
    });
    poll->start();
}

// A port that nobody listened on a moment ago (the system's choice), so that tests running at
// the same time do not collide.
inline int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

// One TCP connection to the gateway on 127.0.0.1.
class GatewayClient {
  public:
    explicit GatewayClient(int port) {
        fd_ = ConnectLoopback(port);
        timeval bound{10, 0};
        if (fd_ >= 0) setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    }
    ~GatewayClient() {
        if (fd_ >= 0) close(fd_);
    }
    GatewayClient(const GatewayClient&) = delete;
    GatewayClient& operator=(const GatewayClient&) = delete;

    bool Connected() const { return fd_ >= 0; }

    // Sends one request and waits for its reply (the server answers on this thread's behalf
    // while the caller keeps the windows' event loop running elsewhere, or not at all).
    std::optional<gateway::Reply> Request(std::uint16_t code, std::uint16_t snvt,
                                          std::vector<std::uint8_t> data = {}) {
        const auto body = gateway::BuildRequestBody(code, snvt, data);
        if (gateway::SendGatewayMessage(fd_, body.data(), static_cast<int>(body.size())) < 0)
            return std::nullopt;
        std::vector<std::uint8_t> buffer(gateway::kMaxBodySize + 1);
        const int received =
            gateway::ReceiveGatewayMessage(fd_, buffer.data(), gateway::kMaxBodySize, 10000);
        if (received < 0) return std::nullopt;
        return gateway::ParseReplyBody(
            std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(received)));
    }

    // True once the server has closed the connection, within the deadline.
    bool ClosedByServer(int milliseconds = kDeadlineMs) {
        pollfd ready{fd_, POLLIN, 0};
        if (poll(&ready, 1, milliseconds) != 1) return false;
        char byte;
        return recv(fd_, &byte, 1, MSG_DONTWAIT) <= 0;
    }

    // True when nothing has closed the connection for `milliseconds`.
    bool StillOpen(int milliseconds = 200) {
        pollfd ready{fd_, POLLIN, 0};
        return poll(&ready, 1, milliseconds) == 0;
    }

  private:
    int fd_ = -1;
};

// A request sent from another thread while this one keeps the windows' event loop running: the
// server writes its log line into the log window before it replies.
inline std::optional<gateway::Reply> RequestServed(GatewayClient& client, std::uint16_t code,
                                                   std::uint16_t snvt,
                                                   std::vector<std::uint8_t> data = {}) {
    auto reply = std::async(std::launch::async, [&] { return client.Request(code, snvt, data); });
    WaitFor([&] { return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready ? reply.get()
                                                                                : std::nullopt;
}

}  // namespace vr620_test
