// vr620-gatewayd: the gateway without windows, for a computer beside the controller.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bad_command_line.h"
#include "file_log_receiver.h"
#include "gateway.h"
#include "gateway_relay.h"
#include "gatewayd_options.h"
#include "service_host.h"
#include "stdout_log_receiver.h"
#include "stop_requests.h"
#include "tls_commands.h"

namespace {

// On standard error, and to a Windows service's manager in the Event Log. A Windows service has
// no standard error: the reason goes into its connection log too, while that is attached.
int Fail(gatewayd::ServiceHost& host, int exitCode, const std::string& why,
         const std::string& more = {}) {
    std::fprintf(stderr, "vr620-gatewayd: %s\n%s", why.c_str(), more.c_str());
    if (!host.HasStandardOutput()) gateway::WriteLogLine("vr620-gatewayd: %s", why.c_str());
    host.Failed(why);
    return exitCode;
}

int Serve(const gatewayd::Options& options, gatewayd::ServiceHost& host) {
    // Before the server's threads exist.
    gatewayd::StopRequests stops;
    if (const auto opened = stops.Open(host.ManagerStops()); !opened.Ok())
        return Fail(host, 1, opened.Why().words);
    host.OnStopRequest([&stops] { stops.Request(); });

    // The connection log: standard output where somebody reads it, and the file.
    static gatewayd::StdoutLogReceiver standardOutput;
    gateway::LogReceiver* log = host.HasStandardOutput() ? &standardOutput : nullptr;
    const std::filesystem::path logFile =
        options.logFile.empty() ? host.DefaultLogFile() : std::filesystem::path(options.logFile);
    static std::optional<gatewayd::FileLogReceiver> fileLog;
    if (!logFile.empty()) log = &fileLog.emplace(logFile, log);
    gateway::SetLogOutput(log);  // no window: nothing to announce

    // A relay whose TLS files cannot be used is said before it serves anybody.
    gateway::ServerConfig config = gatewayd::ServerConfigOf(options);
    const bool relay = !options.upstreamHost.empty();
    if (relay) {
        auto made =
            vr620::GatewayRelay::Make(options.upstreamHost, options.upstreamPort, options.tls);
        if (!made.Ok()) {
            const int failed = Fail(host, 1, made.Why().words);
            gateway::SetLogWindow(nullptr);
            return failed;
        }
        config.runner = made.Value();
    }

    // A service manager that started us hears of readiness, status and the stop; its watchdog
    // hears from the serving loop itself, so that a loop that hangs is found out.
    static gatewayd::ServiceStatusReceiver status(host);
    // The first status already names the port that --com gave.
    gateway::SetChannel(options.com - 1);
    if (host.Listening()) gateway::SetDeviceStatusReceiver(&status);
    if (host.WatchdogInterval().count() > 0) {
        config.heartbeatInterval = host.WatchdogInterval();
        config.heartbeat = [&host] { host.Watchdog(); };
    }
    const auto started = gateway::StartGatewayServer(config, [&stops] { stops.GatewayEnded(); });
    if (!started.Ok()) {
        const int failed = Fail(host, 1, started.Why().words);
        gateway::SetDeviceStatusReceiver(nullptr);
        gateway::SetLogWindow(nullptr);
        return failed;
    }

    host.Ready((relay ? "relay to " + config.runner->Name() : "COM" + std::to_string(options.com)) +
               " served on TCP port " + std::to_string(options.port) +
               (logFile.empty() ? std::string() : ", connection log in " + logFile.string()));

    const bool requested = stops.Wait();
    host.Stopping();
    gateway::StopGatewayServer();
    const int exitCode = requested ? 0 : Fail(host, 1, "the server stopped unexpectedly");
    gateway::SetDeviceStatusReceiver(nullptr);
    gateway::SetLogWindow(nullptr);
    stops.Done();
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto parsed = gatewayd::ParseOptions(arguments);
    // A service tells its manager even of a bad option, or the manager sees it only vanish.
    const bool asService = parsed.Ok()
                               ? parsed.Value().service
                               : std::ranges::find(arguments, "--service") != arguments.end();
    return gatewayd::ServiceHost::Run(asService, [&](gatewayd::ServiceHost& host) {
        if (!parsed.Ok()) {
            // The line that says what was wrong, then the synopsis and where the rest is.
            const std::string& error = parsed.Why().words;
            const std::string text =
                common::BadCommandLineText("vr620-gatewayd", error, gatewayd::UsageText());
            return Fail(host, 2, error, text.substr(text.find('\n') + 1));
        }
        const gatewayd::Options& options = parsed.Value();
        if (options.help) {
            std::fputs(gatewayd::UsageText().c_str(), stdout);
            return 0;
        }
        if (const auto status = gatewayd::RunTlsCommand(options)) return *status;
        return Serve(options, host);
    });
}
