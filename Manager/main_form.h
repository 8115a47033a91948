// The main window: four large buttons for the client programs and the connection settings, and
// the menu with the same commands plus the connection log and the About box.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gateway.h"
#include "message_format.h"
#include "texts/component_model.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QToolButton;
class TAboutBox;
class TConnectSettings;
class TLogForm;

class TMainForm : public QMainWindow {
    Q_OBJECT

  public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The program's other windows, created after this one.
    void SetWindows(TAboutBox* aboutBox, TConnectSettings* connectSettings, TLogForm* logForm);

    texts::Component& Components() { return components_; }

    // Read by the launcher and the text loader.
    std::string Language;
    int Port = gateway::kDefaultPort;
    std::string Host = "localhost";
    bool ServerRunning = false;

    QLabel* Label_RemoteConnection;
    QToolButton* BitBtn_Configure;
    QToolButton* BitBtn_Settings;
    QToolButton* BitBtn_TimePrograms;
    QToolButton* BitBtn_ConnectionSettings;
    QPushButton* SaveTextsButton;
    QMenuBar* MainMenu1;
    QMenu* MenuItem_Open;
    QAction* MenuItem_ConnectionSettings;
    QAction* MenuItem_Configure;
    QAction* MenuItem_TimePrograms;
    QAction* MenuItem_Settings;
    QAction* MenuItem_Log;
    QAction* MenuItem_Separator;  // the unnamed top-level item between "Avaa" and "Ohje"
    QMenu* MenuItem_Help;
    QAction* MenuItem_About;

    // Reads "LANG=", "PORT=" and "HOST=" from `arguments` (without the program path).
    void ParseCommandLine(const std::vector<std::string>& arguments);

    // Applies the language texts to the About box, then shows it modally.
    void MenuItem_AboutClick();
    // Applies the language texts to the log window, then shows it beside the main window.
    void MenuItem_LogClick();
    // The connection settings dialog: shown with the device session's channel; "Sulje" hands
    // the channel and the modem settings to the device session and saves the channel.
    void BitBtn_ConnectionSettingsClick();
    // The three client programs.
    void BitBtn_ConfigureClick();
    void BitBtn_TimeProgramsClick();
    void BitBtn_SettingsClick();
    // Writes every replaceable text of the four windows to the text export file.
    void SaveTextsButtonClick();

    // Starts the client program named under `key` in section APPLICATIONS.
    void LaunchClient(const char* key, const char* defaultName);

    // Detaches the log window from the log writer and its status line from the device's state;
    // every closing path does it before the windows are destroyed, so that no stop-time line or
    // state reaches a window that is going away.
    void DetachLogWindow();

    // The user's session ends: closes as the user's close does once the question is answered
    // Yes (the device closed, a modem hung up), without asking.
    void EndSession();

  signals:
    // The close was allowed and a gateway that ran has stopped: the program ends its message
    // loop.
    void Closed();
    // The channel and the modem settings of the last "Sulje" are in force.
    void DeviceSettingsApplied();
    // The gateway, asked to stop by the close, has stopped.
    void GatewayStopped();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Runs once, when the window is first shown: configuration, texts, mode, gateway, channel.
    void FormShow();
    // Whether the window may close: asks when clients are connected to the running gateway.
    bool FormClose();
    // The close, once allowed: the log window detached, the gateway stopped, then Closed.
    void CloseInOrder();
    // The keyboard starts on the first button that is shown.
    void FocusFirstButton();

    // The work that may wait for the resolver or the serial line runs elsewhere and hands its
    // result back to the user-interface thread; these are its steps.
    void LookUpHost();
    void HostLookedUp(bool local);
    void StartLocalGateway();
    // Remote mode with TLS settings: the relay to the remote gateway, on this computer's
    // loopback, which the client programs are told instead.
    void StartRelay();
    // Whether this window started a gateway or a relay that still runs.
    bool GatewayStarted() const { return ServerRunning || relayRunning_; }
    void ShowMode();
    void ApplyDeviceSettings(int channel, const gateway::ModemSettings& modem);
    void SetDeviceSettingsEnabled(bool enabled);
    // The way back to this window from other threads: taken here, used anywhere. `work` runs
    // on the user-interface thread if the window still exists then.
    using Handle = std::weak_ptr<TMainForm*>;
    Handle Self() const { return self_; }
    static void OnUiThread(const Handle& self, std::function<void(TMainForm&)> work);

    texts::Component components_;
    // The log window is destroyed before this one, so the pointers follow their windows.
    QPointer<TAboutBox> aboutBox_;
    QPointer<TConnectSettings> connectSettings_;
    QPointer<TLogForm> logForm_;
    bool shown_ = false;
    bool closing_ = false;
    // Read with the configuration when the window is shown: what the gateway starts with.
    gateway::ServerConfig gatewayConfig_;
    std::string gatewaySettingsError_;
    bool tlsWanted_ = false;
    // Remote mode with TLS settings: the client programs are told this computer, and the
    // relay's port while it runs.
    bool relayed_ = false;
    bool relayRunning_ = false;
    int relayPort_ = 0;
    std::thread hostLookup_;
    // Work handed back from other threads finds out through this whether the window still
    // exists; both happen on the user-interface thread.
    std::shared_ptr<TMainForm*> self_;
};
