// vr620-gatewayd: the gateway without windows, for a computer beside the controller.
#include <cstdio>
#include <string>
#include <vector>

#include "gateway.h"
#include "gatewayd_options.h"
#include "service_notice.h"
#include "stdout_log_receiver.h"
#include "stop_requests.h"

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

    // Before the server's threads exist.
    gatewayd::StopRequests stops;
    if (!stops.Open(error)) {
        std::fprintf(stderr, "vr620-gatewayd: %s\n", error.c_str());
        return 1;
    }

    static gatewayd::StdoutLogReceiver receiver;
    gateway::SetLogWindow(&receiver);
    // A service manager that started us hears of readiness, status and the stop; its watchdog
    // hears from the serving loop itself, so that a loop that hangs is found out.
    static gatewayd::ServiceNotice service;
    static gatewayd::ServiceStatusReceiver status(service);
    if (service.Listening()) gateway::SetDeviceStatusReceiver(&status);
    gateway::ServerConfig config = gatewayd::ServerConfigOf(*options);
    if (service.WatchdogInterval().count() > 0) {
        config.heartbeatInterval = service.WatchdogInterval();
        config.heartbeat = [] { service.Watchdog(); };
    }
    const auto started =
        gateway::StartGatewayServer(config, [&stops] { stops.GatewayEnded(); });
    if (!started.Ok()) {
        gateway::SetDeviceStatusReceiver(nullptr);
        gateway::SetLogWindow(nullptr);
        std::fprintf(stderr, "vr620-gatewayd: %s\n", started.Why().words.c_str());
        return 1;
    }

    service.Ready();

    const bool requested = stops.Wait();
    service.Stopping();
    gateway::StopGatewayServer();
    gateway::SetDeviceStatusReceiver(nullptr);
    gateway::SetLogWindow(nullptr);
    stops.Done();
    if (!requested) {
        std::fprintf(stderr, "vr620-gatewayd: the server stopped unexpectedly\n");
        return 1;
    }
    return 0;
}
