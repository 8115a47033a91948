// Takes a picture of each of the manager's four windows, for the README:
//
//     vr620-screenshots <output folder> [LANG=<code>]
//
// The windows are the real ones, in local mode with the gateway on a free port and one client
// connected, so that the log window shows real lines. Run it under a display (scripts/
// screenshots.sh uses Xvfb); the pictures show the windows' client areas.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPixmap>
#include <cstdio>
#include <functional>
#include <string>

#include "about_box.h"
#include "connect_settings.h"
#include "gateway_server.h"
#include "log_form.h"
#include "main_form.h"
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

bool Save(QWidget& window, const QString& folder, const char* name) {
    Settle();
    const QString file = folder + "/" + QString::fromLatin1(name);
    if (!window.grab().save(file, "PNG")) {
        std::fprintf(stderr, "vr620-screenshots: cannot write %s\n", file.toLocal8Bit().data());
        return false;
    }
    std::printf("%s\n", file.toLocal8Bit().data());
    return true;
}

int ConnectClient(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        fd = -1;
    }
    return fd;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: vr620-screenshots <output folder> [LANG=<code>]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    // The windows find the language and version libraries beside the manager in this folder.
    manager::SetProgramPathForTesting(manager::BesideProgram("VR620Manager"));

    bool ok = true;
    {
        TMainForm mainForm;
        TAboutBox aboutBox;
        TConnectSettings connectSettings;
        TLogForm logForm;
        mainForm.SetWindows(&aboutBox, &connectSettings, &logForm);
        std::vector<std::string> arguments{"PORT=0"};
        for (int i = 2; i < argc; ++i) arguments.emplace_back(argv[i]);
        mainForm.ParseCommandLine(arguments);
        mainForm.show();

        int client = -1;
        if (WaitFor([] { return gateway::GatewayServerPort() != 0; }))
            client = ConnectClient(gateway::GatewayServerPort());
        WaitFor([] { return gateway::GetClientCount() == 1; });
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

        if (client >= 0) close(client);
        mainForm.DetachLogWindow();
    }
    return ok ? 0 : 1;
}
