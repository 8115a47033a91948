#include <QEventLoop>
#include <QGuiApplication>
#include <QSessionManager>

#include "session_end.h"

namespace manager {

bool WatchSessionEnd(std::function<void()> endProgram) {
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (application == nullptr) return false;
    // Asked when the Windows session ends. Windows ends the process soon after the answer, so
    // the orderly end runs here to its finish: the loop returns when the program quits.
    QObject::connect(
        application, &QGuiApplication::commitDataRequest, application,
        [endProgram = std::move(endProgram)](QSessionManager&) {
            QEventLoop untilQuit;
            endProgram();
            untilQuit.exec();
        },
        Qt::DirectConnection);
    return true;
}

}  // namespace manager
