#include "child_reaper.h"

#include <sys/wait.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <vector>

namespace manager {
namespace {

constexpr int kReapIntervalMs = 500;

std::vector<pid_t>& Children() {
    static std::vector<pid_t> children;
    return children;
}

QTimer* ReapTimer() {
    static QTimer* timer = [] {
        auto* t = new QTimer(QCoreApplication::instance());
        t->setInterval(kReapIntervalMs);
        QObject::connect(t, &QTimer::timeout, [] { ReapEndedChildren(); });
        return t;
    }();
    return timer;
}

}  // namespace

void ReapWhenEnded(pid_t pid) {
    Children().push_back(pid);
    if (QCoreApplication::instance() != nullptr && !ReapTimer()->isActive()) ReapTimer()->start();
}

std::size_t ReapEndedChildren() {
    auto& children = Children();
    std::erase_if(children, [](pid_t pid) {
        int status = 0;
        pid_t result = waitpid(pid, &status, WNOHANG);
        return result == pid || (result < 0 && errno != EINTR);
    });
    if (children.empty() && QCoreApplication::instance() != nullptr) ReapTimer()->stop();
    return children.size();
}

}  // namespace manager
