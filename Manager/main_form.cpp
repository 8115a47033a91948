#include "main_form.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <QWidget>

#include <QCloseEvent>
#include <QIcon>
#include <cstdint>
#include <cstdio>
#include <exception>

#include "about_box.h"
#include "client_launcher.h"
#include "command_line.h"
#include "config_file.h"
#include "connect_settings.h"
#include "design_font.h"
#include "device_status_bridge.h"
#include "diagnostics/assert_report.h"
#include "diagnostics/debug_trace.h"
#include "gateway_relay.h"
#include "gateway_settings.h"
#include "log_form.h"
#include "log_window_bridge.h"
#include "message_boxes.h"
#include "press_on_enter.h"
#include "program_path.h"
#include "texts/language_texts.h"
#include "texts/qt_translations.h"
#include "texts/text_export.h"
#include "ui_dispatcher.h"
#include "window_placement.h"

namespace {

QToolButton* MakeBitBtn(const char* caption, const char* glyph, QRect bounds, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(QString::fromUtf8(caption));
    button->setIcon(QIcon(QString::fromLatin1(glyph)));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(QSize(24, 24));
    button->setGeometry(bounds);
    button->setFocusPolicy(Qt::StrongFocus);
    manager::PressOnEnter(button);
    return button;
}

// A numbered box: caption and message from the language library of `language`, and `detail`
// (in the system's words) in a paragraph of its own behind the message.
manager::BoxAnswer ShowNumberedBox(const std::string& language, int caption, int message,
                                   manager::BoxIcon icon, manager::BoxButtons buttons,
                                   manager::BoxAnswer defaultAnswer,
                                   const std::string& detail = {}) {
    manager::MessageBoxRequest request;
    {
        texts::LanguageTexts texts(language);
        request.caption = texts.LoadText(caption);
        request.text = texts.LoadText(message);
    }
    if (!detail.empty()) request.text += "\n\n" + detail;
    request.icon = icon;
    request.buttons = buttons;
    request.defaultAnswer = defaultAnswer;
    return manager::ShowMessageBox(request);
}

void ShowErrorBox(const std::string& language, int message, const std::string& detail = {}) {
    ShowNumberedBox(language, texts::kTextErrorCaption, message, manager::BoxIcon::Error,
                    manager::BoxButtons::Ok, manager::BoxAnswer::Ok, detail);
}

}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint),
      components_("MainForm", texts::ComponentKind::Window, this),
      self_(std::make_shared<TMainForm*>(this)) {
    Q_INIT_RESOURCE(icons);
    // Made on this thread before any other thread hands work back to it.
    manager::UiDispatcher::Instance();
    setObjectName("MainForm");
    setWindowTitle("VR-620");
    setFont(DesignFont());

    auto* client = new QWidget(this);
    client->setFixedSize(115, 209);
    setCentralWidget(client);

    // The label lies under the connection settings button and shows only when it is hidden.
    Label_RemoteConnection = new QLabel(QString::fromUtf8("Etäyhteys"), client);
    Label_RemoteConnection->setGeometry(1, 17, 103, 25);
    Label_RemoteConnection->setAlignment(Qt::AlignCenter);
    Label_RemoteConnection->setFont(DesignFont(12));
    // "&" marks the Alt+letter of a caption, here and in the language texts.
    BitBtn_ConnectionSettings =
        MakeBitBtn("&Yhteysasetukset", ":/icons/connection_settings.png", {1, 2, 113, 50}, client);
    BitBtn_Configure =
        MakeBitBtn("&Konfigurointi", ":/icons/configure.png", {1, 54, 113, 50}, client);
    BitBtn_TimePrograms =
        MakeBitBtn("A&ikaohjelmat", ":/icons/time_programs.png", {1, 106, 113, 50}, client);
    BitBtn_Settings = MakeBitBtn("A&setusarvot", ":/icons/settings.png", {1, 158, 113, 50}, client);
    SaveTextsButton = new QPushButton("Talleta", client);
    SaveTextsButton->setGeometry(48, 0, 59, 17);
#ifdef VR620_SHOW_SAVE_TEXTS
    SaveTextsButton->setVisible(true);
#else
    SaveTextsButton->setVisible(false);
#endif
    // Tab goes down the buttons as they are seen.
    setTabOrder(BitBtn_ConnectionSettings, BitBtn_Configure);
    setTabOrder(BitBtn_Configure, BitBtn_TimePrograms);
    setTabOrder(BitBtn_TimePrograms, BitBtn_Settings);
    setTabOrder(BitBtn_Settings, SaveTextsButton);

    MainMenu1 = menuBar();
    MenuItem_Open = MainMenu1->addMenu("&Avaa");
    MenuItem_ConnectionSettings = MenuItem_Open->addAction("&Yhteysasetukset");
    MenuItem_Configure = MenuItem_Open->addAction("&Konfigurointi");
    MenuItem_TimePrograms = MenuItem_Open->addAction("A&ikaohjelmat");
    MenuItem_Settings = MenuItem_Open->addAction("A&setusarvot");
    MenuItem_Log = MenuItem_Open->addAction("Yhteys&loki");
    MenuItem_Separator = MainMenu1->addAction(QString());
    MenuItem_Separator->setEnabled(false);
    MenuItem_Help = MainMenu1->addMenu("&Ohje");
    MenuItem_About = MenuItem_Help->addAction("&Tietoa ohjelmasta");
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // A menu item and the button of the same caption run the same handler.
    connect(MenuItem_About, &QAction::triggered, this, &TMainForm::MenuItem_AboutClick);
    connect(MenuItem_Log, &QAction::triggered, this, &TMainForm::MenuItem_LogClick);
    connect(BitBtn_ConnectionSettings, &QToolButton::clicked, this,
            &TMainForm::BitBtn_ConnectionSettingsClick);
    connect(MenuItem_ConnectionSettings, &QAction::triggered, this,
            &TMainForm::BitBtn_ConnectionSettingsClick);
    connect(BitBtn_Configure, &QToolButton::clicked, this, &TMainForm::BitBtn_ConfigureClick);
    connect(MenuItem_Configure, &QAction::triggered, this, &TMainForm::BitBtn_ConfigureClick);
    connect(BitBtn_TimePrograms, &QToolButton::clicked, this, &TMainForm::BitBtn_TimeProgramsClick);
    connect(MenuItem_TimePrograms, &QAction::triggered, this, &TMainForm::BitBtn_TimeProgramsClick);
    connect(BitBtn_Settings, &QToolButton::clicked, this, &TMainForm::BitBtn_SettingsClick);
    connect(MenuItem_Settings, &QAction::triggered, this, &TMainForm::BitBtn_SettingsClick);
    connect(SaveTextsButton, &QPushButton::clicked, this, &TMainForm::SaveTextsButtonClick);
    connect(this, &TMainForm::GatewayStopped, this, &TMainForm::Closed);

    using texts::ComponentKind;
    components_.Add("Label_RemoteConnection", ComponentKind::Label, Label_RemoteConnection);
    components_.Add("BitBtn_Configure", ComponentKind::Button, BitBtn_Configure);
    components_.Add("BitBtn_Settings", ComponentKind::Button, BitBtn_Settings);
    components_.Add("BitBtn_TimePrograms", ComponentKind::Button, BitBtn_TimePrograms);
    components_.Add("BitBtn_ConnectionSettings", ComponentKind::Button, BitBtn_ConnectionSettings);
    components_.Add("SaveTextsButton", ComponentKind::Button, SaveTextsButton);
    components_.Add("MainMenu1", ComponentKind::MainMenu, MainMenu1);
    components_.Add("MenuItem_Open", ComponentKind::MenuItem, MenuItem_Open->menuAction());
    components_.Add("MenuItem_ConnectionSettings", ComponentKind::MenuItem,
                    MenuItem_ConnectionSettings);
    components_.Add("MenuItem_Configure", ComponentKind::MenuItem, MenuItem_Configure);
    components_.Add("MenuItem_TimePrograms", ComponentKind::MenuItem, MenuItem_TimePrograms);
    components_.Add("MenuItem_Settings", ComponentKind::MenuItem, MenuItem_Settings);
    components_.Add("MenuItem_Log", ComponentKind::MenuItem, MenuItem_Log);
    components_.Add("", ComponentKind::MenuItem, MenuItem_Separator);
    components_.Add("MenuItem_Help", ComponentKind::MenuItem, MenuItem_Help->menuAction());
    components_.Add("MenuItem_About", ComponentKind::MenuItem, MenuItem_About);

    // Placed when shown (showEvent): a position asked for now would be the client area's.
    ParseCommandLine(manager::ProcessArguments());
}

TMainForm::~TMainForm() {
    self_.reset();
    if (hostLookup_.joinable()) hostLookup_.join();
    // The window may go without a close (program end by an error, a test): detach here too.
    DetachLogWindow();
    if (GatewayStarted()) gateway::StopGatewayServer();
}

void TMainForm::OnUiThread(const Handle& self, std::function<void(TMainForm&)> work) {
    manager::UiDispatcher::Instance().Post([self, work = std::move(work)] {
        if (auto form = self.lock()) work(**form);
    });
}

void TMainForm::ParseCommandLine(const std::vector<std::string>& arguments) {
    manager::CommandLineSettings settings{Language, Port, Host};
    manager::ApplyCommandLine(arguments, settings);
    Language = settings.language;
    Port = settings.port;
    Host = settings.host;
}

void TMainForm::DetachLogWindow() {
    auto& bridge = manager::LogWindowBridge::Instance();
    if (logForm_ != nullptr && bridge.IsAttachedTo(logForm_.data())) bridge.Detach();
    // Its status line with it: it then says that no gateway runs here.
    auto& status = manager::DeviceStatusBridge::Instance();
    if (logForm_ != nullptr && status.IsAttachedTo(logForm_.data())) status.Detach();
}

void TMainForm::SetWindows(TAboutBox* aboutBox, TConnectSettings* connectSettings,
                           TLogForm* logForm) {
    aboutBox_ = aboutBox;
    connectSettings_ = connectSettings;
    logForm_ = logForm;
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous() && !shown_) {
        shown_ = true;
        FormShow();
        FocusFirstButton();
        manager::PlaceFrameOnceShown(this, {0, 0});
    }
}

void TMainForm::FocusFirstButton() {
    QToolButton* first =
        BitBtn_ConnectionSettings->isHidden() ? BitBtn_Configure : BitBtn_ConnectionSettings;
    first->setFocus(Qt::OtherFocusReason);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // The session may end while the question is open: then the window goes all the same.
    if (!closing_ && !FormClose() && !closing_) {
        event->ignore();
        return;
    }
    event->accept();
    CloseInOrder();
}

void TMainForm::EndSession() {
    // Nobody is there to answer a question.
    CloseInOrder();
}

void TMainForm::CloseInOrder() {
    if (closing_) return;
    closing_ = true;
    // Every allowed close detaches the log window: the gateway's stop-time lines must not reach
    // a window that is destroyed before the gateway stops.
    DetachLogWindow();
    if (!GatewayStarted()) {
        emit Closed();
        return;
    }
    // The gateway stops in the background (a transaction or a dial on the line ends first, the
    // device is closed, a modem hung up); the program ends when it has.
    gateway::StopGatewayServerAsync(
        [self = Self()] { OnUiThread(self, [](TMainForm& form) { emit form.GatewayStopped(); }); });
}

bool TMainForm::FormClose() {
    if (!GatewayStarted() || gateway::GetClientCount() == 0) return true;
    const manager::BoxAnswer answer = ShowNumberedBox(
        Language, texts::kTextQuestionCaption, texts::kTextCloseWithClients,
        manager::BoxIcon::Question, manager::BoxButtons::YesNo, manager::BoxAnswer::No);
    return answer == manager::BoxAnswer::Yes;
}

void TMainForm::FormShow() {
    int channel = 0;
    try {
        const manager::ConfigFile config;
        channel = config.ReadInteger("CONNECTION_SETTINGS", "Channel", 0);
        if (Language.empty()) Language = config.ReadText("COMMON", "DefaultLanguage", "FIN");
        gatewaySettingsError_ = manager::ReadGatewaySettings(config, gatewayConfig_);
        tlsWanted_ = manager::TlsWanted(config);
    } catch (const std::exception&) {
        ShowErrorBox(Language, texts::kTextSettingsNotRead);
    }
    gatewayConfig_.port = Port;
    gatewayConfig_.channel = channel;
    texts::UseQtTranslations(Language);
    texts::LanguageTexts(Language).ApplyTexts(components_);
    ShowMode();
    LookUpHost();
}

void TMainForm::LookUpHost() {
    // The resolver may take long for a name it has to ask the network about.
    hostLookup_ = std::thread([self = Self(), host = Host] {
        const bool local = gateway::IsLocalHost(host.c_str());
        OnUiThread(self, [local](TMainForm& form) { form.HostLookedUp(local); });
    });
}

void TMainForm::HostLookedUp(bool local) {
    // A window closed meanwhile starts nothing.
    if (local && !closing_) StartLocalGateway();
    if (!local && tlsWanted_ && !closing_) StartRelay();
    ShowMode();
    // The settings button may have come into view: it is first, unless the user moved on.
    if (focusWidget() == nullptr || focusWidget() == BitBtn_Configure) FocusFirstButton();
}

void TMainForm::StartLocalGateway() {
    // Attached before the start, so that the log holds the gateway's lines from the first, and
    // its status line the device's state.
    if (logForm_ != nullptr) {
        manager::LogWindowBridge::Instance().Attach(logForm_.data());
        manager::DeviceStatusBridge::Instance().Attach(logForm_.data());
    }
    if (!gatewaySettingsError_.empty()) {
        gateway::WriteLogLine("%s", gatewaySettingsError_.c_str());
        std::fprintf(stderr, "%s\n", gatewaySettingsError_.c_str());
    } else if (gateway::StartGatewayServer(gatewayConfig_).Ok()) {
        // The session has the configured channel from its first client on.
        ServerRunning = true;
        return;
    }
    // Not listening (the port in use, among others), or not started at all: a launcher only.
    DetachLogWindow();
    ShowErrorBox(Language, texts::kTextGatewayNotStarted);
}

void TMainForm::StartRelay() {
    // From now on the client programs go through this computer, whether the relay starts or
    // not: never to the remote gateway unencrypted.
    relayed_ = true;
    if (logForm_ != nullptr) {
        manager::LogWindowBridge::Instance().Attach(logForm_.data());
        manager::DeviceStatusBridge::Instance().Attach(logForm_.data());
    }
    std::string why = gatewaySettingsError_;
    if (why.empty()) {
        auto relay = vr620::GatewayRelay::Make(Host, *gatewayConfig_.tlsPort, gatewayConfig_.tls);
        if (relay.Ok()) {
            // The other settings are the local gateway's: the relay serves this computer alone.
            gateway::ServerConfig config;
            config.port = Port;
            config.anyPortIfTaken = true;
            config.loopbackOnly = true;
            config.runner = relay.Value();
            auto started = gateway::StartGatewayServer(config);
            if (started.Ok()) {
                relayRunning_ = true;
                relayPort_ = gateway::GatewayServerPort();
                return;
            }
            why = started.Why().words;
        } else {
            why = relay.Why().words;
            gateway::WriteLogLine("%s", why.c_str());
        }
    } else {
        gateway::WriteLogLine("%s", why.c_str());
    }
    std::fprintf(stderr, "%s\n", why.c_str());
    DetachLogWindow();
    ShowErrorBox(Language, texts::kTextGatewayNotStarted, why);
}

void TMainForm::ShowMode() {
    MenuItem_Log->setVisible(GatewayStarted());
    MenuItem_ConnectionSettings->setVisible(ServerRunning);
    BitBtn_ConnectionSettings->setVisible(ServerRunning);
}

void TMainForm::MenuItem_AboutClick() {
    if (aboutBox_ == nullptr) return;
    texts::LanguageTexts(Language).ApplyTexts(aboutBox_->Components());
    aboutBox_->exec();
}

void TMainForm::MenuItem_LogClick() {
    if (logForm_ == nullptr) return;
    texts::LanguageTexts(Language).ApplyTexts(logForm_->Components());
    logForm_->show();
    logForm_->raise();
    logForm_->activateWindow();
}

void TMainForm::BitBtn_ConnectionSettingsClick() {
    if (connectSettings_ == nullptr) return;
    texts::LanguageTexts(Language).ApplyTexts(connectSettings_->Components());
    connectSettings_->SetChannelIndex(static_cast<std::uint8_t>(gateway::GetChannel()));
    if (connectSettings_->exec() != TConnectSettings::kResultClose) return;

    const std::uint8_t channel = connectSettings_->GetChannelIndex();
    ApplyDeviceSettings(channel,
                        {connectSettings_->GetModemConnection(), connectSettings_->IniString,
                         connectSettings_->DialString, connectSettings_->HangupString});
    if (!manager::ConfigFile()
             .WriteText("CONNECTION_SETTINGS", "Channel", std::to_string(channel))
             .Ok()) {
        ShowErrorBox(Language, texts::kTextSettingsNotWritten);
    }
}

void TMainForm::ApplyDeviceSettings(int channel, const gateway::ModemSettings& modem) {
    // A channel change on an open device closes it and opens it again, in modem mode with a
    // hang-up and a dial; the settings come back into reach when that is done.
    SetDeviceSettingsEnabled(false);
    gateway::SetChannel(channel);
    gateway::SetModemSettings(modem, [self = Self()] {
        OnUiThread(self, [](TMainForm& form) {
            form.SetDeviceSettingsEnabled(true);
            emit form.DeviceSettingsApplied();
        });
    });
}

void TMainForm::SetDeviceSettingsEnabled(bool enabled) {
    BitBtn_ConnectionSettings->setEnabled(enabled);
    MenuItem_ConnectionSettings->setEnabled(enabled);
}

void TMainForm::LaunchClient(const char* key, const char* defaultName) {
    std::string name;
    try {
        name = manager::ConfigFile().ReadText("APPLICATIONS", key, defaultName);
    } catch (const std::exception&) {
        ShowErrorBox(Language, texts::kTextClientNotStarted);
        return;
    }
    const std::string program = manager::ResolveClientProgram(name, manager::ProgramPath());
    const std::string commandLine =
        relayed_ ? manager::ClientCommandLine(program, "localhost",
                                              relayRunning_ ? relayPort_ : Port, Language)
                 : manager::ClientCommandLine(program, Host, Port, Language);
    // The program is one name, blanks and all; what follows it is split at the blanks.
    const auto started = manager::StartClientProcess(
        program, manager::SplitAtBlanks(commandLine.substr(program.size())));
    if (!started.Ok()) {
        // The box names the program and the system's reason; so does the debug output.
        DEBUG_TRACE("%s", started.Why().words.c_str());
        ShowErrorBox(Language, texts::kTextClientNotStarted, started.Why().words);
    }
}

void TMainForm::BitBtn_ConfigureClick() {
    LaunchClient("CONFIG_APPLICATION_NAME", "VR620Configurator");
}

void TMainForm::BitBtn_TimeProgramsClick() {
    LaunchClient("TIMEPROG_APPLICATION_NAME", "VR620TimePrograms");
}

void TMainForm::BitBtn_SettingsClick() {
    LaunchClient("SETTINGS_APPLICATION_NAME", "VR620Settings");
}

void TMainForm::SaveTextsButtonClick() {
    std::vector<texts::Component*> windows{&components_};
    if (connectSettings_ != nullptr) windows.push_back(&connectSettings_->Components());
    if (logForm_ != nullptr) windows.push_back(&logForm_->Components());
    if (aboutBox_ != nullptr) windows.push_back(&aboutBox_->Components());
    if (!texts::ExportWindowTexts(texts::TextExportPath(), windows))
        diagnostics::AssertFailed(__FILE__, __LINE__, "hFile != NULL");
}
