// The log window's status line: the device's state through the real gateway and the simulated
// controller, an adapter pulled out and plugged back while a client holds the device, in the
// window's language and for a screen reader; and its attachment, which no change of the
// gateway's may outrun.
#include <signal.h>

#include <QAccessible>
#include <QDateTime>
#include <QListWidget>
#include <QRegularExpression>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "device_status_bridge.h"
#include "device_status_line.h"
#include "gateway.h"
#include "shell_fixture.h"
#include "sim_process.h"
#include "temp_dir.h"

// Failures show the texts, not their bytes.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

namespace fs = std::filesystem;
using vr620_test::WaitFor;

// The words a user of each language reads, written out here rather than taken from the
// libraries, so that a key that the window does not ask for shows.
struct Words {
    const char* language;
    const char* name;
    const char* closed;
    const char* open;
    const char* lost;
    const char* none;  // no client
    const char* one;   // one client
    const char* lastError;
    const char* noGateway;
};

const Words kFinnish{
    "FIN",       "Laitteen tila",   "suljettu",
    "auki",      "kadonnut",        "0 asiakasta",
    "1 asiakas", "viimeisin virhe", "Ei yhteyspalvelinta t\u00e4ll\u00e4 tietokoneella"};
const Words kSwedish{"SWE",
                     "Enhetens tillst\u00e5nd",
                     "st\u00e4ngd",
                     "\u00f6ppen",
                     "f\u00f6rlorad",
                     "0 klienter",
                     "1 klient",
                     "senaste fel",
                     "Ingen gatewayserver p\u00e5 den h\u00e4r datorn"};

void PrintTo(const Words& words, std::ostream* out) {
    *out << words.language;
}

class UnplugStatusTest : public vr620_test::ManagerTest,
                         public ::testing::WithParamInterface<Words> {
  protected:
    UnplugStatusTest() {
        vr620_test::InstallLanguages(*this, folder.Path());
        windows.mainForm.SetWindows(&windows.aboutBox, &windows.connectSettings, &windows.logForm);
    }
    // The line's DUCTA.INI lies beside this program's own libducta.so; these tests hold the
    // lock of that file and remove it when done.
    ~UnplugStatusTest() override {
        std::error_code ignored;
        fs::remove(fs::path(VR620_DUCTA_FOLDER) / "DUCTA.INI", ignored);
    }

    QString Line() const { return windows.logForm.Label_DeviceStatus->text(); }
    // Waits until the line reads `expected` from its start.
    bool LineStarts(const QString& expected) {
        return WaitFor([&] { return Line().startsWith(expected); });
    }

    vr620_test::Windows windows;
};

QString Now() {
    return QDateTime::currentDateTime().toString("dd.MM.yyyy hh:mm:ss");
}

TEST_P(UnplugStatusTest, FollowsAnUnplugAndAReturnInTheWindowsLanguage) {
    const Words& w = GetParam();
    vr620_test::TempDir dir;
    const std::string link = (dir / "ttyVR620").string();
    vr620_test::SimProcess sim{{"--link", link, "--baud", "38400", "--turnaround", "1"}};
    ASSERT_TRUE(sim.Started()) << sim.Error();
    vr620_test::WriteFile(fs::path(VR620_DUCTA_FOLDER) / "DUCTA.INI",
                          "[Ports]\r\nCOM1=" + link + "\r\n");

    const int port = vr620_test::FreePort();
    windows.mainForm.ParseCommandLine(
        {"PORT=" + std::to_string(port), std::string("LANG=") + w.language});
    windows.mainForm.show();
    // Local mode is decided once the connection settings come into view.
    ASSERT_TRUE(WaitFor([&] { return windows.mainForm.BitBtn_ConnectionSettings->isVisible(); }));
    ASSERT_TRUE(vr620_test::Accepts(port));
    windows.mainForm.MenuItem_Log->trigger();
    ASSERT_TRUE(windows.logForm.isVisible());

    const QString com = QString::fromStdString("COM1 (" + link + "): ");
    QAccessibleInterface* reader =
        QAccessible::queryAccessibleInterface(windows.logForm.Label_DeviceStatus);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->text(QAccessible::Name), QString::fromUtf8(w.name));
    EXPECT_TRUE(LineStarts(com + w.closed + ", " + w.none)) << Line().toStdString();

    vr620_test::GatewayConnection client(port);
    ASSERT_TRUE(client.Connected());
    EXPECT_TRUE(LineStarts(com + w.closed + ", " + w.one)) << Line().toStdString();
    auto reply = vr620_test::RequestServed(client, gateway::kDeviceConnect, 0);
    ASSERT_TRUE(reply && reply->Ok());
    EXPECT_TRUE(LineStarts(com + w.open + ", " + w.one)) << Line().toStdString();

    // Pulled out: told at once from the path, without a request.
    kill(sim.Pid(), SIGUSR1);
    EXPECT_TRUE(LineStarts(com + w.lost + ", " + w.one)) << Line().toStdString();
    const QString before = Now();
    reply = vr620_test::RequestServed(client, gateway::kSnvtRead, 0x0010);
    ASSERT_TRUE(reply && !reply->Ok());
    const QString lost = com + w.lost + ", " + w.one + "; " + w.lastError + " ";
    const QString reason = QString::fromStdString(": port " + link + " lost");
    ASSERT_TRUE(WaitFor([&] { return Line().endsWith(reason); })) << Line().toStdString();
    const QString after = Now();
    ASSERT_TRUE(Line().startsWith(lost)) << Line().toStdString();
    // The time of the failure, as the log's lines give it.
    const QString stamp = Line().mid(lost.size(), Line().size() - lost.size() - reason.size());
    const QDateTime at = QDateTime::fromString(stamp, "dd.MM.yyyy hh:mm:ss");
    ASSERT_TRUE(at.isValid()) << stamp.toStdString();
    EXPECT_LE(QDateTime::fromString(before, "dd.MM.yyyy hh:mm:ss"), at);
    EXPECT_LE(at, QDateTime::fromString(after, "dd.MM.yyyy hh:mm:ss"));
    // A screen reader reads what the eye reads.
    EXPECT_EQ(reader->text(QAccessible::Description), Line());

    // Plugged back: open again; the last error stays with its time.
    kill(sim.Pid(), SIGUSR2);
    EXPECT_TRUE(LineStarts(com + w.open + ", " + w.one + "; " + w.lastError + " " + stamp + reason))
        << Line().toStdString();
    reply = vr620_test::RequestServed(client, gateway::kSnvtRead, 0x0010);
    EXPECT_TRUE(reply && reply->Ok());

    // Tab goes from the list to the line, whose text the keyboard can select.
    windows.logForm.activateWindow();
    windows.logForm.ListBox_Log->setFocus();
    QTest::keyClick(windows.logForm.ListBox_Log, Qt::Key_Tab);
    EXPECT_TRUE(windows.logForm.Label_DeviceStatus->hasFocus());
    QTest::keyClick(windows.logForm.Label_DeviceStatus, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(windows.logForm.Label_DeviceStatus->selectedText(), Line());

    // The close detaches the line before the gateway stops: it says so and stays so.
    bool closed = false;
    QObject::connect(&windows.mainForm, &TMainForm::Closed, [&] { closed = true; });
    answer = manager::BoxAnswer::Yes;
    windows.mainForm.close();
    ASSERT_TRUE(WaitFor([&] { return closed; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(Line(), QString::fromUtf8(w.noGateway));
}

INSTANTIATE_TEST_SUITE_P(Languages, UnplugStatusTest, ::testing::Values(kFinnish, kSwedish),
                         [](const auto& info) { return std::string(info.param.language); });

// Changes come from the gateway's threads while windows are attached, detached and destroyed:
// a detached window's line keeps saying that no gateway runs, and no change reaches a window
// that has gone (the address sanitizer) or races with the window (the thread sanitizer).
TEST(DeviceStatusBridgeTest, NoChangeOutrunsADetachOrTheWindowsEnd) {
    auto& bridge = manager::DeviceStatusBridge::Instance();
    std::atomic<bool> stop{false};
    std::vector<std::thread> changers;
    for (int t = 0; t < 2; ++t) {
        // Without a server, a channel change is stored and changes the device's port.
        changers.emplace_back([&stop, t] {
            for (int i = 0; !stop.load(); ++i) gateway::SetChannel((i + t) % 3 + 4);
        });
    }
    const QRegularExpression shown("^COM[5-7] \\(");
    for (int round = 0; round < 20; ++round) {
        auto window = std::make_unique<TLogForm>();
        const QString noGateway =
            window->Label_DeviceStatus->Words(manager::DeviceStatusLine::kNoGateway);
        EXPECT_EQ(window->Label_DeviceStatus->text(), noGateway);
        bridge.Attach(window.get());
        // Shown at once on attaching, and kept up with.
        EXPECT_TRUE(window->Label_DeviceStatus->text().contains(shown));
        QCoreApplication::processEvents();
        EXPECT_TRUE(window->Label_DeviceStatus->text().contains(shown));
        if (round % 2 == 0) {
            bridge.Detach();
            EXPECT_FALSE(bridge.IsAttachedTo(window.get()));
            QCoreApplication::processEvents();
            EXPECT_EQ(window->Label_DeviceStatus->text(), noGateway);
        }
        // Gone with changes still on their way to it.
        window.reset();
        QCoreApplication::processEvents();
    }
    stop = true;
    for (auto& changer : changers) changer.join();
    gateway::SetChannel(0);
}

}  // namespace
