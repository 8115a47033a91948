// What the tests of the manager's shell share: waiting for a condition while the windows run,
// answering a modal dialog, and a connection to the gateway.
#pragma once

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

#include "gateway_client.h"
#include "loopback.h"
#include "manager_fixture.h"
#include "message_format.h"
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

// One connection to the gateway on 127.0.0.1 through the suite's client library, every wait
// bounded by 10 s.
class GatewayConnection {
  public:
    explicit GatewayConnection(int port) {
        client_.SetReplyTimeout(std::chrono::seconds(10));
        // A connection that failed shows in Connected().
        static_cast<void>(client_.Connect("127.0.0.1", port, std::chrono::seconds(10)));
    }

    bool Connected() const { return client_.Connected(); }

    // Sends one request and waits for its reply (the server answers on this thread's behalf
    // while the caller keeps the windows' event loop running elsewhere, or not at all).
    std::optional<gateway::Reply> Request(std::uint16_t code, std::uint16_t snvt,
                                          std::vector<std::uint8_t> data = {}) {
        auto reply = client_.Request(code, snvt, data);
        if (!reply.Ok()) return std::nullopt;
        return std::move(reply.Value());
    }

    // True when the server has closed the connection: a request finds it closed.
    bool ClosedByServer() {
        const auto read = client_.Read(1);
        return !read.Ok() && read.Why().words.find("closed the connection") != std::string::npos;
    }

  private:
    vr620::GatewayClient client_;
};

// A request sent from another thread while this one keeps the windows' event loop running: the
// server writes its log line into the log window before it replies.
inline std::optional<gateway::Reply> RequestServed(GatewayConnection& client, std::uint16_t code,
                                                   std::uint16_t snvt,
                                                   std::vector<std::uint8_t> data = {}) {
    auto reply = std::async(std::launch::async, [&] { return client.Request(code, snvt, data); });
    WaitFor([&] { return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready ? reply.get()
                                                                                : std::nullopt;
}

}  // namespace vr620_test
