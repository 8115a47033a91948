#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <string>

#include "debug_line.h"
#include "session_end.h"
#include "system_error.h"

namespace manager {
namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the pipe that the signal handler wakes the user-interface thread through: a
// handler may do hardly more than write(), so it only says that a signal came.
std::atomic<int> g_wakeUp{-1};
static_assert(std::atomic<int>::is_always_lock_free);

void OnEndSignal(int) {
    const int savedErrno = errno;
    const char signalled = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t written = write(g_wakeUp.load(), &signalled, 1);
    errno = savedErrno;
}

bool Fail(const char* what) {
    common::WriteDebugLine(std::string("Cannot watch for the end of the session: ") + what + ": " +
                           common::SystemErrorText(common::LastSystemError()));
    return false;
}

}  // namespace

bool WatchSessionEnd(std::function<void()> endProgram) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || g_wakeUp.load() >= 0) return false;
    int wakeUp[2] = {-1, -1};
    if (pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0) return Fail("pipe2");
    g_wakeUp.store(wakeUp[1]);

    auto* notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, application);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [readEnd = wakeUp[0], endProgram = std::move(endProgram)] {
                         char bytes[16];
                         while (read(readEnd, bytes, sizeof bytes) > 0) {
                         }
                         endProgram();
                     });

    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted calls of the other threads go on; the next signal of the kind kills.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigset_t endSignals;
    sigemptyset(&endSignals);
    for (const int signal : kEndSignals) {
        struct sigaction before {};
        if (sigaction(signal, nullptr, &before) != 0) return Fail("sigaction");
        // Started with it ignored (nohup, a background job): the starter wants it so.
        if (before.sa_handler == SIG_IGN) continue;
        if (sigaction(signal, &action, nullptr) != 0) return Fail("sigaction");
        sigaddset(&endSignals, signal);
    }
    // A starter that blocked them would keep them from ever arriving.
    pthread_sigmask(SIG_UNBLOCK, &endSignals, nullptr);
    return true;
}

}  // namespace manager
