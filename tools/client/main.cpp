// vr620: the command-line client of the VR-620 gateway.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bad_command_line.h"
#include "bench.h"
#include "command_line.h"
#include "gateway_client.h"
#include "key_commands.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitErrorReply = 1;
constexpr int kExitUnreachable = 2;

int Broken(const std::string& error) {
    std::fprintf(stderr, "vr620: %s\n", error.c_str());
    return kExitUnreachable;
}

// "what: ERROR: why", with the gateway's reason of the request that just failed.
int Refused(vr620::GatewayClient& client, const std::string& what) {
    const auto reason = client.LastReason();
    if (!reason.Ok()) return Broken(reason.Why().words);
    std::fprintf(stderr, "vr620: %s: ERROR%s%s\n", what.c_str(), reason.Value().empty() ? "" : ": ",
                 reason.Value().c_str());
    return kExitErrorReply;
}

// connect, the request, disconnect, all on one connection.
int OneShot(vr620::GatewayClient& client, const vr620::CommandLine& line) {
    const auto connected = client.DeviceConnect();
    if (!connected.Ok()) return Broken(connected.Why().words);
    if (!connected.Value().Ok()) return Refused(client, "the gateway could not open the device");
    const auto reply = line.action == vr620::Action::kRead ? client.Read(line.point)
                                                           : client.Write(line.point, line.value);
    if (!reply.Ok()) return Broken(reply.Why().words);
    if (!reply.Value().Ok()) {
        char what[64];
        std::snprintf(what, sizeof what, "%s of data point 0x%04X failed",
                      line.action == vr620::Action::kRead ? "read" : "write", line.point);
        const int status = Refused(client, what);
        if (status != kExitErrorReply) return status;
        const auto disconnected = client.DeviceDisconnect();
        return disconnected.Ok() ? status : Broken(disconnected.Why().words);
    }
    const auto disconnected = client.DeviceDisconnect();
    if (!disconnected.Ok()) return Broken(disconnected.Why().words);
    if (line.action == vr620::Action::kRead) {
        std::printf("%s\n", vr620::FormatHexBytes(reply.Value().data).c_str());
    } else {
        std::printf("OK\n");
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = vr620::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.Ok()) {
        std::fputs(
            common::BadCommandLineText("vr620", parsed.Why().words, vr620::UsageText()).c_str(),
            stderr);
        return kExitUnreachable;
    }
    const vr620::CommandLine& line = parsed.Value();
    if (line.action == vr620::Action::kHelp) {
        std::fputs(vr620::UsageText().c_str(), stdout);
        return kExitOk;
    }
    if (line.action == vr620::Action::kTlsMakeKey)
        return tls::RunMakeKey("vr620", line.file) ? kExitOk : kExitUnreachable;
    if (line.action == vr620::Action::kTlsFingerprint)
        return tls::RunFingerprint("vr620", line.file) ? kExitOk : kExitUnreachable;
    if (line.action == vr620::Action::kBench) {
        return vr620::RunBench({line.host, line.port, line.timeoutSeconds, line.clients,
                                line.requests, line.seconds, line.point, line.ownPoints, line.tls});
    }

    vr620::GatewayClient client;
    client.SetReplyTimeout(std::chrono::seconds(line.timeoutSeconds));
    if (!line.tls.certificate.empty()) {
        if (const auto tls = client.UseTls(line.tls); !tls.Ok()) return Broken(tls.Why().words);
    }
    if (const auto connected = client.Connect(line.host, line.port, std::chrono::seconds(10));
        !connected.Ok()) {
        return Broken(connected.Why().words);
    }
    if (line.action == vr620::Action::kRead || line.action == vr620::Action::kWrite) {
        return OneShot(client, line);
    }
    const auto reply =
        line.action == vr620::Action::kConnect ? client.DeviceConnect() : client.DeviceDisconnect();
    if (!reply.Ok()) return Broken(reply.Why().words);
    if (!reply.Value().Ok()) {
        return Refused(client, line.action == vr620::Action::kConnect ? "connect failed"
                                                                      : "disconnect failed");
    }
    std::printf("OK\n");
    return kExitOk;
}
