#include "child_reaper.h"

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <vector>

namespace manager {
namespace {

constexpr int kReapIntervalMs = 500;

struct Child {
    pid_t pid;
    int pidfd;  // owned by its notifier, which closes it; -1: asked on the timer
};

std::vector<Child>& Children() {
    static std::vector<Child> children;
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

// True once the child is reaped (or is no child of ours any more).
bool Reap(const Child& child) {
    siginfo_t info{};
    const int result = child.pidfd >= 0 ? waitid(P_PIDFD, child.pidfd, &info, WEXITED | WNOHANG)
                                        : waitid(P_PID, child.pid, &info, WEXITED | WNOHANG);
    if (result < 0) return errno != EINTR;
    return info.si_pid != 0;
}

void Forget(pid_t pid) {
    auto& children = Children();
    auto found = std::find_if(children.begin(), children.end(),
                              [pid](const Child& c) { return c.pid == pid; });
    if (found != children.end()) children.erase(found);
}

bool AnyOnTimer() {
    return std::any_of(Children().begin(), Children().end(),
                       [](const Child& c) { return c.pidfd < 0; });
}

}  // namespace

void ReapWhenEnded(pid_t pid) {
    QCoreApplication* application = QCoreApplication::instance();
    // The system call itself: the C library's declaration in Debian 12 lacks C linkage.
    const int pidfd =
        application != nullptr ? static_cast<int>(syscall(SYS_pidfd_open, pid, 0)) : -1;
    Children().push_back({pid, pidfd});
    if (pidfd >= 0) {
        // Readable once the child has ended.
        auto* notifier = new QSocketNotifier(pidfd, QSocketNotifier::Read, application);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, pid, pidfd] {
            auto& children = Children();
            auto found = std::find_if(children.begin(), children.end(),
                                      [pid](const Child& c) { return c.pid == pid; });
            if (found != children.end() && !Reap(*found)) return;
            Forget(pid);
            notifier->setEnabled(false);
            notifier->deleteLater();
            close(pidfd);
        });
    } else if (application != nullptr && !ReapTimer()->isActive()) {
        ReapTimer()->start();
    }
}

std::size_t ReapEndedChildren() {
    std::vector<pid_t> ended;
    for (const Child& child : Children()) {
        if (Reap(child)) ended.push_back(child.pid);
    }
    for (pid_t pid : ended) Forget(pid);
    if (!AnyOnTimer() && QCoreApplication::instance() != nullptr) ReapTimer()->stop();
    return Children().size();
}

}  // namespace manager
