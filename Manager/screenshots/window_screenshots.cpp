// Takes a picture of each of the manager's four windows, for the README:
//
//     vr620-screenshots <output folder> [LANG=<code>]
//
// The windows are the real ones, in local mode with the gateway on a free port and one client
// connected, so that the log window shows real lines. Run it under a display (scripts/
// screenshots.sh uses Xvfb with a window manager); each picture shows its window with the frame
// that the window manager gave it, or the client area alone where there is none.
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QHostAddress>
#include <QPixmap>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>
#include <functional>
#include <string>

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
