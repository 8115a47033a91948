#include <QEventLoop>
#include <QGuiApplication>
#include <QSessionManager>
#include <QTimer>

#include "session_end.h"

namespace manager {

bool WatchSessionEnd(std::function<void()> endProgram) {
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (application == nullptr) return false;
    // Asked when the Windows session ends. Windows ends the process soon after the answer, so
    // the orderly end runs here to its finish: the loop returns when the program quits. The end
    // starts inside the loop, so that a quit that comes at once still ends it.
    QObject::connect(
        application, &QGuiApplication::commitDataRequest, application,
        [endProgram = std::move(endProgram)](QSessionManager&) {
            QEventLoop untilQuit;
            QTimer::singleShot(0, &untilQuit, endProgram);
            untilQuit.exec();
        },
        Qt::DirectConnection);
    return true;
}

}  // namespace manager
