// vr620-points: a window of the controller's data points through the gateway, started like the
// suite's client programs (vr620-points HOST=... PORT=... LANG=...).
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "gateway_link.h"
#include "points_language.h"
#include "points_options.h"
#include "points_window.h"

int main(int argc, char* argv[]) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const points::PointsOptions options = points::ParsePointsOptions(arguments);
    if (options.help) {
        std::fputs(points::PointsUsage().c_str(), stdout);
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("vr620-points");
    QApplication::setDesktopFileName("vr620-points");
    // The program ends when the link has said DEVICE_DISCONNECT, after the window has gone.
    QApplication::setQuitOnLastWindowClosed(false);
    for (const std::string& ignored : options.ignored)
        std::fprintf(stderr, "vr620-points: argument '%s' ignored\n", ignored.c_str());
    const QString language = QString::fromStdString(options.language);
    if (!points::UseLanguage(language)) {
        std::fprintf(stderr, "vr620-points: no texts in language '%s'; Finnish texts are used\n",
                     options.language.c_str());
    }

    points::GatewayLink link(QString::fromStdString(options.host),
                             static_cast<quint16>(options.port));
    QObject::connect(&link, &points::GatewayLink::Closed, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    points::PointsWindow window(link);
    window.setWindowIcon(QIcon::fromTheme("vr620-manager"));
    if (const QByteArray file = qgetenv("VR620_POINTS_FILE"); !file.isEmpty())
        window.LoadList(QString::fromLocal8Bit(file));
    window.show();
    return QApplication::exec();
}
