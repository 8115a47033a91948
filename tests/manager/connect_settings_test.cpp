// The connection settings dialog: the COM number, the modem switch and strings, the defaults,
// the hand-over to the device session and the saved channel; and, on simulated modems, a
// channel change while clients share the open device, with the window turning meanwhile.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "gateway.h"
#include "shell_fixture.h"
#include "sim_process.h"
#include "up_down_control.h"

namespace {

namespace fs = std::filesystem;
using vr620_test::WaitFor;
using vr620_test::WhenShown;

class ConnectSettingsTest : public vr620_test::ManagerTest {
  protected:
    ConnectSettingsTest() {
        vr620_test::InstallLanguages(*this, folder.Path());
        windows.mainForm.SetWindows(&windows.aboutBox, &windows.connectSettings, &windows.logForm);
        windows.mainForm.Language = "FIN";
        QObject::connect(&windows.mainForm, &TMainForm::DeviceSettingsApplied,
                         [this] { ++applied; });
    }
    ~ConnectSettingsTest() override {
        owned_.reset();  // the main window stops a gateway that it started
    }

    TConnectSettings& Dialog() { return windows.connectSettings; }
    fs::path Ini() const { return folder.Path() / "VR620Manager.INI"; }

    enum class End { kClose, kEscape, kCloseNoWait };
    // Opens the dialog from the main window, lets `act` work in it, then ends it with "Sulje"
    // and waits until the settings are in force (or ends it with Escape, or does not wait).
    void RunDialog(const std::function<void()>& act, End end = End::kClose) {
        const int before = applied;
        WhenShown(Dialog(), [&] {
            act();
            if (end == End::kEscape) {
                QTest::keyClick(&Dialog(), Qt::Key_Escape);
            } else {
                Dialog().Close->click();
            }
        });
        windows.mainForm.BitBtn_ConnectionSettings->click();
        if (end == End::kClose) {
            EXPECT_TRUE(WaitFor([&] { return applied == before + 1; }));
        }
    }

  private:
    std::unique_ptr<vr620_test::Windows> owned_ = std::make_unique<vr620_test::Windows>();

  protected:
    vr620_test::Windows& windows = *owned_;
    // Settings hand-overs that the gateway has reported done.
    int applied = 0;
};

TEST_F(ConnectSettingsTest, ShowsTheSessionsChannelAndHandsOverATypedNumber) {
    gateway::SetChannel(2);
    std::string shown;
    RunDialog([&] {
        shown = Dialog().ChannelNumber->text().toStdString();
        Dialog().ChannelNumber->setText("7");
    });
    EXPECT_EQ(shown, "3");
    EXPECT_EQ(gateway::GetChannel(), 6);
    EXPECT_EQ(vr620_test::ReadFile(Ini()), "[CONNECTION_SETTINGS]\r\nChannel=6\r\n");

    // Numbers out of range and text keep the last valid number.
    for (const char* typed : {"0", "300", "abc", ""}) {
        RunDialog([&] { Dialog().ChannelNumber->setText(typed); });
        EXPECT_EQ(gateway::GetChannel(), 6) << typed;
    }
    // The arrow keys in the edit step it; the lowest and highest stay in range.
    RunDialog([&] {
        Dialog().ChannelNumber->setText("255");
        QTest::keyClick(Dialog().ChannelNumber, Qt::Key_Up);
    });
    EXPECT_EQ(gateway::GetChannel(), 254);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ConnectSettingsTest, ButtonsFitTheirCaptionsInTheDialogsFontWithinItsBounds) {
    RunDialog([&] {
        const QPushButton* restore = Dialog().RestoreDefaults;
        const QPushButton* close = Dialog().Close;
        for (const QPushButton* button : {restore, close}) {
            EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
            EXPECT_EQ(button->font().pointSize(), Dialog().font().pointSize());
        }
        EXPECT_GE(restore->x(), 8);
        EXPECT_LT(restore->geometry().right(), close->x());
        EXPECT_LE(close->geometry().right(), Dialog().width() - 8);
        EXPECT_TRUE(close->font().bold());
    });
}

TEST_F(ConnectSettingsTest, EscapeAppliesAndSavesNothingButKeepsWhatTheUserLeft) {
    gateway::SetChannel(4);
    RunDialog(
        [&] {
            Dialog().ChannelNumber->setText("9");
            Dialog().ModemConnection->click();
        },
        End::kEscape);
    EXPECT_EQ(gateway::GetChannel(), 4);
    EXPECT_FALSE(fs::exists(Ini()));
    EXPECT_TRUE(Dialog().ModemConnection->isChecked());
}

TEST_F(ConnectSettingsTest, ModemSwitchEscapesAndDefaults) {
    TConnectSettings& d = Dialog();
    EXPECT_EQ(d.IniString, "ATE0S0=1\r;AT&W\r");
    EXPECT_EQ(d.DialString, "ATDT 12345678\r");
    EXPECT_EQ(d.HangupString, ";+++;ATH\r");
    EXPECT_FALSE(d.IniStringEdit->isEnabled());

    d.ModemConnection->click();
    EXPECT_TRUE(d.GetModemConnection());
    EXPECT_TRUE(d.IniStringEdit->isEnabled() && d.DialStringEdit->isEnabled() &&
                d.HangupStringEdit->isEnabled());
    d.IniStringEdit->clear();
    QTest::keyClicks(d.IniStringEdit, "ATZ\\r\\n\\t\\R\\\\r");
    EXPECT_EQ(d.IniString, "ATZ\r\n\\t\\R\\\r");
    d.DialStringEdit->setText("ATDT 555 \\r\\n");
    EXPECT_EQ(d.DialString, "ATDT 555 \r\n");

    d.ModemConnection->click();
    EXPECT_FALSE(d.IniStringEdit->isEnabled());
    EXPECT_EQ(d.IniString, "ATZ\r\n\\t\\R\\\r");  // kept while disabled

    d.ChannelNumber->setText("12");
    d.ModemConnection->click();
    d.RestoreDefaults->click();
    EXPECT_EQ(d.IniStringEdit->text(), QString("ATE0S0=1\\r;AT&W\\r"));
    EXPECT_EQ(d.IniString, "ATE0S0=1\r;AT&W\r");
    EXPECT_EQ(d.DialString, "ATDT 12345678\r");
    EXPECT_EQ(d.GetChannelIndex(), 0);
    EXPECT_TRUE(d.ModemConnection->isChecked());  // left as it was
    EXPECT_TRUE(d.IniStringEdit->isEnabled());

    // The strings survive closing and reopening the dialog.
    d.HangupStringEdit->setText("ATH0\\r");
    RunDialog([] {});
    EXPECT_EQ(Dialog().HangupString, "ATH0\r");
    EXPECT_EQ(Dialog().HangupStringEdit->text(), QString("ATH0\\r"));
}

TEST_F(ConnectSettingsTest, AFileThatCannotBeWrittenShowsTheErrorWithTheNewChannelInEffect) {
    // A folder in the file's place cannot be replaced.
    fs::create_directories(Ini() / "keep");
    RunDialog([&] { Dialog().ChannelNumber->setText("5"); });
    EXPECT_EQ(gateway::GetChannel(), 4);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, manager::BoxIcon::Error);
    EXPECT_EQ(boxes[0].text, texts::LanguageTexts("FIN").LoadText(texts::kTextSettingsNotWritten));
}

TEST_F(ConnectSettingsTest, AnExistingFileKeepsItsOtherLines) {
    const std::string before =
        "; mine\n[COMMON]\nDefaultLanguage=ENG\n[CONNECTION_SETTINGS]\n"
        "Channel=1\nOther=x\n";
    vr620_test::WriteFile(Ini(), before);
    RunDialog([&] { Dialog().ChannelNumber->setText("5"); });
    std::string expected = before;
    expected.replace(expected.find("Channel=1"), 9, "Channel=4");
    EXPECT_EQ(vr620_test::ReadFile(Ini()), expected);
}

// The device tests write the DUCTA.INI beside this program's own copy of libducta.so, so they
// run one at a time (a lock in the test list) and remove the file when done.
class DeviceSettingsTest : public ConnectSettingsTest {
  protected:
    ~DeviceSettingsTest() override {
        std::error_code ignored;
        fs::remove(DuctaIni(), ignored);
    }
    static fs::path DuctaIni() { return fs::path(VR620_DUCTA_FOLDER) / "DUCTA.INI"; }
};

TEST_F(DeviceSettingsTest, ChannelChangeOnAnOpenModemLineKeepsTheClientsShareAndTheWindowTurns) {
    const std::vector<std::string> modem{"--baud", "38400",        "--modem", "--guard-ms",
                                         "100",    "--dial-delay", "300"};
    vr620_test::SimProcess first(modem), second(modem);
    ASSERT_TRUE(first.Started()) << first.Error();
    ASSERT_TRUE(second.Started()) << second.Error();
    vr620_test::WriteFile(DuctaIni(), "[Ports]\r\nCOM2=" + first.DevicePath() +
                                          "\r\nCOM3=" + second.DevicePath() +
                                          "\r\n[Modem]\r\nBaudRate=38400\r\n");
    vr620_test::WriteFile(Ini(), "[CONNECTION_SETTINGS]\r\nChannel=1\r\n");

    const int port = vr620_test::FreePort();
    windows.mainForm.ParseCommandLine({"PORT=" + std::to_string(port)});
    windows.mainForm.show();
    // Local mode is decided once the connection settings come into view.
    ASSERT_TRUE(WaitFor([&] { return windows.mainForm.BitBtn_ConnectionSettings->isVisible(); }));
    ASSERT_TRUE(vr620_test::Accepts(port));
    ASSERT_EQ(gateway::GetChannel(), 1);
    // The modem on, the port as it is.
    RunDialog([&] { Dialog().ModemConnection->click(); });

    vr620_test::GatewayConnection a(port), b(port);
    ASSERT_TRUE(a.Connected() && b.Connected());
    for (auto* client : {&a, &b}) {
        auto reply = vr620_test::RequestServed(*client, gateway::kDeviceConnect, 0);
        ASSERT_TRUE(reply && reply->Ok());
    }
    auto before = vr620_test::RequestServed(a, gateway::kSnvtRead, 0x0010);
    ASSERT_TRUE(before && before->Ok());
    EXPECT_EQ(before->data, (std::vector<std::uint8_t>{0x12, 0x34}));

    std::string shown;
    RunDialog(
        [&] {
            shown = Dialog().ChannelNumber->text().toStdString();
            Dialog().ChannelNumber->setText("3");
        },
        End::kCloseNoWait);
    EXPECT_EQ(shown, "2");
    // A hang-up and a dial run now; the window goes on meanwhile, its settings out of reach.
    bool turned = false;
    QTimer::singleShot(0, [&] { turned = true; });
    ASSERT_TRUE(WaitFor([&] { return turned; }));
    EXPECT_EQ(applied, 1);
    EXPECT_FALSE(windows.mainForm.BitBtn_ConnectionSettings->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return applied == 2; }));
    EXPECT_TRUE(windows.mainForm.BitBtn_ConnectionSettings->isEnabled());
    EXPECT_EQ(gateway::GetChannel(), 2);
    EXPECT_EQ(gateway::GetDeviceStatus().state, gateway::DeviceState::kModemConnected);
    EXPECT_TRUE(boxes.empty());

    // The old line is gone; both clients are served on the new one without connecting again.
    first.Stop();
    for (auto* client : {&a, &b}) {
        auto after = vr620_test::RequestServed(*client, gateway::kSnvtRead, 0x0010);
        ASSERT_TRUE(after && after->Ok());
        EXPECT_EQ(after->data, (std::vector<std::uint8_t>{0x12, 0x34}));
    }
    auto disconnect = vr620_test::RequestServed(a, gateway::kDeviceDisconnect, 0);
    ASSERT_TRUE(disconnect && disconnect->Ok());
    EXPECT_EQ(gateway::GetDeviceStatus().state, gateway::DeviceState::kModemConnected);

    answer = manager::BoxAnswer::Yes;
    windows.mainForm.close();
}

}  // namespace
