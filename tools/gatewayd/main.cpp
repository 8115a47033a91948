// vr620-gatewayd: the gateway without windows, for a computer beside the controller.
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "device_session.h"
#include "gateway_server.h"
#include "gatewayd_options.h"
#include "log_writer.h"
#include "modem_strings.h"
#include "stdout_log_receiver.h"

namespace {

// Waits for SIGINT or SIGTERM, or for the server to end by itself. True for a signal.
bool WaitForStopSignal(const sigset_t& stopSignals, bool& serving) {
    const timespec tick{0, 100'000'000};
    for (;;) {
        int signal = sigtimedwait(&stopSignals, nullptr, &tick);
        if (signal == SIGINT || signal == SIGTERM) return true;
        if (signal < 0 && errno != EAGAIN && errno != EINTR) return false;
        if (gateway::GatewayServerPort() != 0) serving = true;
        if (!gateway::GatewayServerRunning()) return false;
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

    // The signals are taken by the main thread alone; the server threads inherit the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    static gatewayd::StdoutLogReceiver receiver;
    gateway::SetLogWindow(&receiver);
    if (!gateway::StartGatewayServer(options->port)) {
        std::fprintf(stderr, "vr620-gatewayd: the server thread could not be started\n");
        return 1;
    }
    gateway::SetChannel(options->com - 1);
    gateway::SetModemSettings(options->useModem, gateway::ConvertModemEscapes(options->initText),
                              gateway::ConvertModemEscapes(options->dialText),
                              gateway::ConvertModemEscapes(options->hangupText));

    bool serving = false;
    bool signalled = WaitForStopSignal(stopSignals, serving);
    gateway::StopGatewayServer();
    gateway::SetLogWindow(nullptr);
    if (!signalled && !serving) {
        std::fprintf(stderr,
                     "vr620-gatewayd: TCP port %d cannot be opened (in use by another program, "
                     "or not permitted)\n",
                     options->port);
        return 1;
    }
    if (!signalled) {
        std::fprintf(stderr, "vr620-gatewayd: the server stopped unexpectedly\n");
        return 1;
    }
    return 0;
}
