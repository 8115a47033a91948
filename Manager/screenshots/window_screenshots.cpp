// Takes a picture of each of the manager's four windows, for the README:
//
//     vr620-screenshots <output folder> [LANG=<code>]
//
// The windows are the real ones, in local mode with the gateway on a free port and one client
// connected, so that the log window shows real lines. The client reads a point from the
// simulated controller and then pulls its adapter out, so that the log window's status line
// shows the port lost with the last error; COM1 must be mapped in the DUCTA.INI beside the
// libducta.so in use to a path where the simulator may put its link (scripts/screenshots.sh
// arranges that). Run it under a display (scripts/screenshots.sh uses Xvfb with a window
// manager); each picture shows its window with the frame that the window manager gave it, or
// the client area alone where there is none.
#include <signal.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QHostAddress>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "about_box.h"
#include "connect_settings.h"
#include "gateway.h"
#include "log_form.h"
#include "main_form.h"
#include "message_format.h"
#include "program_icon.h"
#include "program_path.h"
#include "texts/language_texts.h"

namespace {

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 5000) {
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void Settle() {
    QDeadlineTimer deadline(300);
    while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Whether the window manager has framed `window` by now.
bool Framed(QWidget& window, int milliseconds) {
    return WaitFor([&] { return window.frameGeometry() != window.geometry(); }, milliseconds);
}

bool Save(QWidget& window, const QString& folder, const char* name) {
    // Without a window manager there is no frame to wait for: the first window tells.
    static bool windowManager = Framed(window, 3000);
    if (windowManager) Framed(window, 3000);
    Settle();
    const QString file = folder + "/" + QString::fromLatin1(name);
    // The frame is drawn by the window manager, so it is taken from the screen.
    const QRect frame = window.frameGeometry();
    const QPixmap picture =
        windowManager
            ? window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
            : window.grab();
    if (!picture.save(file, "PNG")) {
        std::fprintf(stderr, "vr620-screenshots: cannot write %s\n", file.toLocal8Bit().data());
        return false;
    }
    std::printf("%s\n", file.toLocal8Bit().data());
    return true;
}

// A port that nobody listened on a moment ago.
int FreePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return gateway::kDefaultPort;
    return probe.serverPort();
}

// One request through the gateway and its reply, with the window's event loop turning.
std::optional<gateway::Reply> Exchange(QTcpSocket& client, std::uint16_t code, std::uint16_t snvt) {
    const std::vector<std::uint8_t> body = gateway::BuildRequestBody(code, snvt);
    const auto length = gateway::EncodeLength(static_cast<std::uint32_t>(body.size()));
    client.write(reinterpret_cast<const char*>(length.data()), static_cast<qint64>(length.size()));
    client.write(reinterpret_cast<const char*>(body.data()), static_cast<qint64>(body.size()));
    QByteArray received;
    std::uint32_t expected = 0;
    const bool whole = WaitFor([&] {
        received += client.readAll();
        if (received.size() < static_cast<qsizetype>(gateway::kLengthFieldSize)) return false;
        std::array<std::uint8_t, gateway::kLengthFieldSize> field{};
        std::copy_n(received.constData(), field.size(), field.begin());
        expected = gateway::DecodeLength(field);
        return received.size() >= static_cast<qsizetype>(field.size() + expected);
    });
    if (!whole) return std::nullopt;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(received.constData());
    return gateway::ParseReplyBody({bytes + gateway::kLengthFieldSize, expected});
}

// The simulated controller on a symbolic link at `link`, whose adapter can be pulled out.
class SimulatedAdapter {
  public:
    explicit SimulatedAdapter(const std::string& link) {
        sim_.setProgram(QString::fromLocal8Bit(VR620_OUT_DIR "/vr620-sim"));
        sim_.setArguments({"--link", QString::fromStdString(link)});
        sim_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim_.start();
        // Its first line names the line it serves, once the link is in place.
        WaitFor([&] { return sim_.canReadLine() || sim_.state() == QProcess::NotRunning; });
        started_ = sim_.readLine().startsWith("device: ");
    }
    ~SimulatedAdapter() {
        sim_.terminate();
        if (!sim_.waitForFinished(5000)) sim_.kill();
    }
    bool Started() const { return started_; }
    void PullOut() { kill(static_cast<pid_t>(sim_.processId()), SIGUSR1); }

  private:
    QProcess sim_;
    bool started_ = false;
};

// The client connects the device, reads a point, and the adapter is pulled out: the log shows
// the port lost and the failed read with its reason, the status line the state that follows.
bool UnplugUnderAClient(QTcpSocket& client, SimulatedAdapter& adapter) {
    const auto connected = Exchange(client, gateway::kDeviceConnect, 0);
    const auto read = Exchange(client, gateway::kSnvtRead, 0x0010);
    if (!connected || !connected->Ok() || !read || !read->Ok()) return false;
    adapter.PullOut();
    if (!WaitFor([] { return gateway::GetDeviceStatus().state == gateway::DeviceState::kLost; }))
        return false;
    const auto failed = Exchange(client, gateway::kSnvtRead, 0x0010);
    return failed && !failed->Ok() &&
           WaitFor([] { return !gateway::GetDeviceStatus().lastReason.empty(); });
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setWindowIcon(manager::ProgramIcon());
    if (argc < 2) {
        std::fprintf(stderr, "usage: vr620-screenshots <output folder> [LANG=<code>]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    // The windows find the language and version libraries beside the built manager.
    manager::SetProgramPathForTesting(std::filesystem::path(VR620_OUT_DIR) / "VR620Manager");

    // The simulator's link goes where DUCTA.INI maps COM1.
    const std::string link = gateway::GetDeviceStatus().path;
    SimulatedAdapter adapter(link);
    if (!adapter.Started()) {
        std::fprintf(stderr,
                     "vr620-screenshots: no simulated controller at %s: map COM1 in the DUCTA.INI "
                     "beside libducta.so to a free path (scripts/screenshots.sh does)\n",
                     link.c_str());
        return 1;
    }

    bool ok = true;
    {
        TMainForm mainForm;
        TAboutBox aboutBox;
        TConnectSettings connectSettings;
        TLogForm logForm;
        mainForm.SetWindows(&aboutBox, &connectSettings, &logForm);
        const int port = FreePort();
        std::vector<std::string> arguments{"PORT=" + std::to_string(port)};
        for (int i = 2; i < argc; ++i) arguments.emplace_back(argv[i]);
        mainForm.ParseCommandLine(arguments);
        mainForm.show();

        QTcpSocket client;
        WaitFor([&] {
            if (client.state() == QAbstractSocket::UnconnectedState)
                client.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
            return client.state() == QAbstractSocket::ConnectedState;
        });
        WaitFor([] { return gateway::GetClientCount() == 1; });
        // The main window puts its frame into the corner once it is on the screen.
        WaitFor([&] {
            return mainForm.frameGeometry().topLeft() ==
                   mainForm.screen()->availableGeometry().topLeft();
        });
        ok = Save(mainForm, folder, "main_window.png") && ok;

        texts::LanguageTexts(mainForm.Language).ApplyTexts(connectSettings.Components());
        connectSettings.show();
        ok = Save(connectSettings, folder, "connection_settings.png") && ok;
        connectSettings.hide();

        if (!UnplugUnderAClient(client, adapter)) {
            std::fprintf(stderr, "vr620-screenshots: the read and the unplug did not go through\n");
            ok = false;
        }
        mainForm.MenuItem_LogClick();
        ok = Save(logForm, folder, "log_window.png") && ok;
        logForm.hide();

        texts::LanguageTexts(mainForm.Language).ApplyTexts(aboutBox.Components());
        aboutBox.show();
        ok = Save(aboutBox, folder, "about_box.png") && ok;
        aboutBox.hide();

        client.abort();
        mainForm.DetachLogWindow();
    }
    return ok ? 0 : 1;
}
