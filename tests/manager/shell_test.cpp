// Start and stop of the manager: local and remote mode, the gateway on the configured port
// with the configured channel, the log's first line, the closing question with clients
// connected, a gateway that cannot start (a port in use among others), and closing without a
// hang while the gateway keeps writing.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>
#include <atomic>
#include <map>
#include <thread>

#include "device_status_bridge.h"
#include "device_status_line.h"
#include "gateway.h"
#include "log_window_bridge.h"
#include "shell_fixture.h"
#include "socket_layer.h"
#include "texts/language_texts.h"

namespace {

using vr620_test::GatewayConnection;
using vr620_test::WaitFor;

class ShellTest : public vr620_test::ManagerTest {
  protected:
    ShellTest() {
        vr620_test::InstallLanguages(*this, folder.Path());
        windows = std::make_unique<vr620_test::Windows>();
        Main().SetWindows(&windows->aboutBox, &windows->connectSettings, &windows->logForm);
    }
    ~ShellTest() override {
        Destroy();
        // Whatever a test did, the next one finds no gateway running.
        gateway::StopGatewayServer();
    }

    TMainForm& Main() { return windows->mainForm; }
    QListWidget* Log() { return windows->logForm.ListBox_Log; }
    std::string StatusLine() { return windows->logForm.Label_DeviceStatus->text().toStdString(); }

    // Shows the window; it looks like remote mode until the host-name lookup has answered.
    void Show(const std::vector<std::string>& arguments) {
        Main().ParseCommandLine(arguments);
        Main().show();
        ASSERT_TRUE(WaitFor([&] { return Main().isVisible(); }));
    }
    // Local mode with its gateway started: the connection settings come into view.
    bool LocalMode() {
        return WaitFor([&] { return Main().BitBtn_ConnectionSettings->isVisible(); });
    }
    bool Listening() {
        return WaitFor([&] { return vr620_test::Accepts(port); });
    }
    bool LogHas(const std::string& text) {
        return WaitFor([&] {
            for (int i = 0; i < Log()->count(); ++i)
                if (Log()->item(i)->text().toStdString().find(text) != std::string::npos)
                    return true;
            return false;
        });
    }
    // Destroys the windows as the program does (the members go in reverse: the log window
    // first, the main window last).
    void Destroy() { windows.reset(); }
    bool Closes() {
        Main().close();
        return !Main().isVisible();
    }

    int port = vr620_test::FreePort();
    std::unique_ptr<vr620_test::Windows> windows;
};

TEST_F(ShellTest, LocalModeStartsTheGatewayWithTheConfiguredChannelAndLogsFromTheFirstLine) {
    vr620_test::WriteFile(folder.Path() / "VR620Manager.INI",
                          "[CONNECTION_SETTINGS]\r\nChannel=3\r\n[GATEWAY_SETTINGS]\r\n"
                          "BindAddress=127.0.0.1\r\nAllowedNetworks=10.0.0.0/8; 192.168.1.7\r\n"
                          "IdleTimeOut=600\r\n");
    Show({"PORT=" + std::to_string(port)});
    ASSERT_TRUE(LocalMode());
    EXPECT_EQ(Main().Language, "FIN");
    EXPECT_EQ(Main().Host, "localhost");
    EXPECT_TRUE(Main().ServerRunning);
    ASSERT_TRUE(Listening());
    EXPECT_EQ(gateway::GetChannel(), 3);
    EXPECT_TRUE(Main().BitBtn_ConnectionSettings->isVisible());
    EXPECT_TRUE(Main().MenuItem_ConnectionSettings->isVisible());
    EXPECT_TRUE(Main().MenuItem_Log->isVisible());
    // Collected while the log window is hidden.
    EXPECT_FALSE(windows->logForm.isVisible());
    ASSERT_TRUE(LogHas("Server started. Listening to port " + std::to_string(port)));
    EXPECT_TRUE(Log()->item(0)->text().contains(
        QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d  Log window activated "
                           "\\(0x[0-9a-f]{8}\\)$")))
        << Log()->item(0)->text().toStdString();

    // The gateway's settings took effect: this computer is not among the allowed networks.
    GatewayConnection refused(port);
    EXPECT_TRUE(refused.ClosedByServer());
    EXPECT_TRUE(LogHas(" from 127.0.0.1 refused, address not allowed! Connection closed..."));

    Main().MenuItem_Log->trigger();
    EXPECT_TRUE(windows->logForm.isVisible());

    // No client: closes without a question, and the log window is detached before the end;
    // the program is told to end once the gateway has stopped.
    bool closed = false;
    QObject::connect(&Main(), &TMainForm::Closed, [&] { closed = true; });
    EXPECT_TRUE(Closes());
    EXPECT_FALSE(manager::LogWindowBridge::Instance().IsAttachedTo(&windows->logForm));
    ASSERT_TRUE(WaitFor([&] { return closed; }));
    EXPECT_FALSE(vr620_test::Accepts(port));
    Destroy();
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ShellTest, LanguageFromTheCommandLineWinsOverTheConfiguredDefault) {
    vr620_test::WriteFile(folder.Path() / "VR620Manager.INI",
                          "[COMMON]\r\nDefaultLanguage=ENG\r\n");
    Show({"LANG=SWE", "HOST=127.0.0.1", "PORT=" + std::to_string(port)});
    EXPECT_TRUE(LocalMode());  // 127.0.0.1 is this computer
    EXPECT_EQ(Main().Language, "SWE");
    EXPECT_TRUE(Main().ServerRunning);
    TMainForm reference;
    texts::LanguageTexts("SWE").ApplyTexts(reference.Components());
    EXPECT_EQ(Main().BitBtn_Configure->text(), reference.BitBtn_Configure->text());
    EXPECT_NE(Main().BitBtn_Configure->text(), QString("Konfigurointi"));
}

// The keyboard alone reaches everything, in every shipped language: Tab goes down the buttons
// from the first, Enter and Space press the focused one, Alt and a letter press each button
// and open each menu, whose items answer their letters; Qt's own buttons speak the language.
TEST_F(ShellTest, TheKeyboardReachesEveryButtonAndMenuInEveryShippedLanguage) {
    // Qt's Swedish translations in Debian 12 lack the standard buttons: no "Yes" to check there.
    const std::map<std::string, QString> yes{{"FIN", "&Kyllä"}, {"ENG", "&Yes"}, {"SWE", ""}};
    for (const auto& [language, qtYes] : yes) {
        SCOPED_TRACE(language);
        // Windows of their own, without the other windows: the handlers have nothing to open.
        Destroy();
        windows = std::make_unique<vr620_test::Windows>();
        Show({"LANG=" + language, "PORT=" + std::to_string(port)});
        ASSERT_TRUE(LocalMode());
        Main().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
        if (!qtYes.isEmpty()) {
            EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), qtYes);
        }

        std::map<const QObject*, int> presses;
        const std::vector<QToolButton*> buttons{Main().BitBtn_ConnectionSettings,
                                                Main().BitBtn_Configure, Main().BitBtn_TimePrograms,
                                                Main().BitBtn_Settings};
        for (QToolButton* button : buttons) {
            QObject::disconnect(button, nullptr, &Main(), nullptr);
            QObject::connect(button, &QToolButton::clicked,
                             [&presses, button] { ++presses[button]; });
        }
        ASSERT_EQ(QApplication::focusWidget(), buttons[0]);
        for (std::size_t i = 1; i < buttons.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), buttons[i]);
        }
        QTest::keyClick(buttons.back(), Qt::Key_Return);
        QTest::keyClick(buttons.back(), Qt::Key_Space);
        EXPECT_EQ(presses[buttons.back()], 2);

        presses.clear();
        for (QToolButton* button : buttons) {
            QTest::keySequence(&Main(), QKeySequence::mnemonic(button->text()));
            // A shortcut shows the button pressed for a moment first.
            EXPECT_TRUE(WaitFor([&] { return presses[button] == 1; }))
                << button->text().toStdString();
        }
        for (QMenu* menu : {Main().MenuItem_Open, Main().MenuItem_Help}) {
            for (QAction* item : menu->actions()) {
                QObject::disconnect(item, nullptr, &Main(), nullptr);
                QObject::connect(item, &QAction::triggered, [&presses, item] { ++presses[item]; });
                QTest::keySequence(&Main(), QKeySequence::mnemonic(menu->title()));
                ASSERT_TRUE(WaitFor([&] { return menu->isVisible(); }))
                    << menu->title().toStdString();
                const QKeyCombination letter = QKeySequence::mnemonic(item->text())[0];
                QTest::keyClick(menu, letter.key());
                EXPECT_EQ(presses[item], 1) << item->text().toStdString();
                EXPECT_FALSE(menu->isVisible());
            }
        }
        EXPECT_TRUE(Closes());
    }
}

TEST_F(ShellTest, RemoteModeRunsNoGatewayAndClosesAtOnce) {
    Show({"HOST=remote-host.invalid", "PORT=" + std::to_string(port)});
    EXPECT_FALSE(Main().ServerRunning);
    EXPECT_FALSE(vr620_test::Accepts(port));
    EXPECT_FALSE(Main().BitBtn_ConnectionSettings->isVisible());
    EXPECT_FALSE(Main().MenuItem_ConnectionSettings->isVisible());
    EXPECT_FALSE(Main().MenuItem_Log->isVisible());
    EXPECT_TRUE(Main().Label_RemoteConnection->isVisible());
    EXPECT_EQ(Main().Label_RemoteConnection->text(), QString::fromUtf8("Etäyhteys"));
    EXPECT_EQ(Log()->count(), 0);
    EXPECT_EQ(StatusLine(), "Ei yhteyspalvelinta t\u00e4ll\u00e4 tietokoneella");
    EXPECT_TRUE(Closes());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ShellTest, ClosingWithTwoClientsAsksAndNoKeepsThemWhileYesStopsTheGateway) {
    Show({"PORT=" + std::to_string(port)});
    ASSERT_TRUE(Listening());
    GatewayConnection first(port), second(port);
    ASSERT_TRUE(first.Connected() && second.Connected());
    ASSERT_TRUE(WaitFor([] { return gateway::GetClientCount() == 2; }));

    answer = manager::BoxAnswer::No;
    EXPECT_FALSE(Closes());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, manager::BoxIcon::Question);
    EXPECT_EQ(boxes[0].buttons, manager::BoxButtons::YesNo);
    EXPECT_EQ(boxes[0].defaultAnswer, manager::BoxAnswer::No);
    EXPECT_EQ(boxes[0].caption, texts::LanguageTexts("FIN").LoadText(texts::kTextQuestionCaption));
    EXPECT_EQ(gateway::GetClientCount(), 2u);
    EXPECT_TRUE(manager::LogWindowBridge::Instance().IsAttachedTo(&windows->logForm));
    // Both are still served.
    EXPECT_TRUE(vr620_test::RequestServed(first, gateway::kSnvtRead, 1).has_value());
    EXPECT_TRUE(vr620_test::RequestServed(second, gateway::kSnvtRead, 1).has_value());

    answer = manager::BoxAnswer::Yes;
    EXPECT_TRUE(Closes());
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_FALSE(manager::LogWindowBridge::Instance().IsAttachedTo(&windows->logForm));
    Destroy();
    EXPECT_FALSE(vr620_test::Accepts(port));
    EXPECT_TRUE(first.ClosedByServer());
    EXPECT_TRUE(second.ClosedByServer());
}

// A port in use, a gateway already running in this process, a malformed gateway setting: E3,
// and a launcher that looks like remote mode.
TEST_F(ShellTest, AGatewayThatCannotListenShowsTheErrorAndLeavesALauncher) {
    enum class Why { kPortInUse, kAlreadyRunning, kBadSetting };
    for (Why why : {Why::kPortInUse, Why::kAlreadyRunning, Why::kBadSetting}) {
        SCOPED_TRACE(static_cast<int>(why));
        boxes.clear();
        windows = std::make_unique<vr620_test::Windows>();
        Main().SetWindows(&windows->aboutBox, &windows->connectSettings, &windows->logForm);
        vr620_test::WriteFile(folder.Path() / "VR620Manager.INI",
                              why == Why::kBadSetting
                                  ? "[GATEWAY_SETTINGS]\r\nAllowedNetworks=10.0.0.0/8, 10.1/8\r\n"
                                  : "");
        const int holder = why == Why::kPortInUse ? gateway::CreateServerSocket(port).Value() : -1;
        gateway::ServerConfig running;
        running.port = vr620_test::FreePort();
        if (why == Why::kAlreadyRunning) {
            ASSERT_TRUE(gateway::StartGatewayServer(running).Ok());
        }
        Show({"PORT=" + std::to_string(port)});
        ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }));
        EXPECT_FALSE(Main().ServerRunning);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].icon, manager::BoxIcon::Error);
        EXPECT_EQ(boxes[0].text,
                  texts::LanguageTexts("FIN").LoadText(texts::kTextGatewayNotStarted));
        if (why == Why::kPortInUse) {
            EXPECT_TRUE(
                LogHas("Error in creating server connection! Terminating the application..."));
        }
        EXPECT_FALSE(manager::LogWindowBridge::Instance().IsAttachedTo(&windows->logForm));
        // Its status line says that no gateway runs here, whatever one runs in the process.
        EXPECT_FALSE(manager::DeviceStatusBridge::Instance().IsAttachedTo(&windows->logForm));
        EXPECT_EQ(StatusLine(), "Ei yhteyspalvelinta t\u00e4ll\u00e4 tietokoneella");
        EXPECT_FALSE(Main().BitBtn_ConnectionSettings->isVisible());
        EXPECT_FALSE(Main().MenuItem_Log->isVisible());
        EXPECT_TRUE(Main().Label_RemoteConnection->isVisible());
        EXPECT_TRUE(Main().BitBtn_Configure->isVisible() && Main().BitBtn_Configure->isEnabled());
        EXPECT_TRUE(Closes());
        Destroy();
        // The manager did not start it, so it does not stop it.
        EXPECT_EQ(vr620_test::Accepts(running.port), why == Why::kAlreadyRunning);
        gateway::StopGatewayServer();
        if (holder >= 0) gateway::DestroyServerSocket(holder);
    }
}

TEST_F(ShellTest, NoHangWhenTheGatewayKeepsLoggingWhileTheProgramEnds) {
    Show({"PORT=" + std::to_string(port)});
    ASSERT_TRUE(Listening());
    // Clients come and go all the time, so the server threads write line after line, also
    // while the main window is destroyed and waits for them.
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        while (!stop) GatewayConnection client(port);
    });
    ASSERT_TRUE(LogHas("disconnected"));
    answer = manager::BoxAnswer::Yes;
    EXPECT_TRUE(Closes());
    const auto start = std::chrono::steady_clock::now();
    Destroy();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    stop = true;
    churn.join();
    EXPECT_FALSE(vr620_test::Accepts(port));
}

TEST_F(ShellTest, DestroyedWithoutACloseTheWindowStillDetachesBeforeStopping) {
    Show({"PORT=" + std::to_string(port)});
    ASSERT_TRUE(Listening());
    GatewayConnection client(port);
    ASSERT_TRUE(WaitFor([] { return gateway::GetClientCount() == 1; }));
    // The program ends by another path (an error leaves the loop): no close, no question.
    windows.reset();
    EXPECT_FALSE(vr620_test::Accepts(port));
    EXPECT_TRUE(client.ClosedByServer());
    EXPECT_EQ(gateway::WriteLogLine("after the end"), 0);
}

}  // namespace
