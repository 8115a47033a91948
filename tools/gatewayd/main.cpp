// vr620-gatewayd: the gateway without windows, for a computer beside the controller.
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gateway.h"
#include "gatewayd_options.h"
#include "stdout_log_receiver.h"

namespace {

// Sleeps in the kernel until SIGINT or SIGTERM arrives (true) or the gateway ends by itself
// (false, `ended` readable).
bool WaitForStopSignal(int signals, int ended) {
    pollfd fds[] = {{signals, POLLIN, 0}, {ended, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            if (read(signals, &info, sizeof info) == sizeof info) return true;
        }
        if (fds[1].revents != 0) return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    auto options = gatewayd::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "vr620-gatewayd: %s\n%s", error.c_str(),
                     gatewayd::UsageText().c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(gatewayd::UsageText().c_str(), stdout);
        return 0;
    }

    // The signals are taken by the main thread alone, from a descriptor; the server's threads
    // inherit the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signals = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    const int ended = eventfd(0, EFD_CLOEXEC);
    if (signals < 0 || ended < 0) {
        std::perror("vr620-gatewayd");
        return 1;
    }

    static gatewayd::StdoutLogReceiver receiver;
    gateway::SetLogWindow(&receiver);
    const bool started = gateway::StartGatewayServer(gatewayd::ServerConfigOf(*options), [ended] {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = write(ended, &one, sizeof one);
    });
    if (!started) {
        gateway::SetLogWindow(nullptr);
        std::fprintf(stderr,
                     "vr620-gatewayd: TCP port %d cannot be opened (in use by another program, "
                     "not permitted, or the bind address is not of this machine)\n",
                     options->port);
        return 1;
    }

    const bool signalled = WaitForStopSignal(signals, ended);
    gateway::StopGatewayServer();
    gateway::SetLogWindow(nullptr);
    if (!signalled) {
        std::fprintf(stderr, "vr620-gatewayd: the server stopped unexpectedly\n");
        return 1;
    }
    return 0;
}
