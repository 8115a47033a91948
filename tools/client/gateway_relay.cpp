#include "gateway_relay.h"

#include <chrono>

#include "message_format.h"

namespace vr620 {
namespace {

using namespace std::chrono_literals;
using common::Failure;
using common::FailureKind;

constexpr auto kConnectBound = 10s;
// A dial at the other end takes up to its modem's time-out; 60 s is the client library's too.
constexpr auto kReplyBound = 60s;

}  // namespace

common::Outcome<std::shared_ptr<GatewayRelay>> GatewayRelay::Make(const std::string& host,
                                                                  int port,
                                                                  const tls::Settings& tls) {
    GatewayClient probe;
    if (auto usable = probe.UseTls(tls); !usable.Ok()) return usable.Why();
    return std::shared_ptr<GatewayRelay>(new GatewayRelay(host, port, tls));
}

GatewayRelay::GatewayRelay(const std::string& host, int port, const tls::Settings& tls)
    : host_(host),
      port_(port),
      tls_(tls),
      name_((host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
            std::to_string(port)) {}

Failure GatewayRelay::Failed(FailureKind kind, const std::string& words) const {
    return Failure{kind, "upstream " + name_ + ": " + words};
}

common::Outcome<> GatewayRelay::Connect(Upstream& upstream) {
    if (upstream.client.Connected()) return common::Done{};
    // The files are read again for a client whose first try found them unusable.
    if (!upstream.tls) {
        if (auto usable = upstream.client.UseTls(tls_); !usable.Ok())
            return Failed(FailureKind::kOther, usable.Why().words);
        upstream.tls = true;
        upstream.client.SetReplyTimeout(kReplyBound);
    }
    auto opened = upstream.client.Open(host_, port_, kConnectBound);
    if (opened.Ok()) return opened;
    const Failure& why = opened.Why();
    return Failed(why.kind,
                  why.kind == FailureKind::kUnreachable ? "cannot be reached: " + why.words
                                                        : why.words);
}

gateway::DeviceOutcome GatewayRelay::Run(std::uint64_t connection,
                                         const gateway::Request& request) {
    auto& upstream = upstreams_[connection];
    if (!upstream) upstream = std::make_unique<Upstream>();
    if (auto connected = Connect(*upstream); !connected.Ok()) return connected.Why();

    // The request as it came: its code and SNVT number, and a write's value.
    const std::uint16_t code = gateway::ReadBigEndian16(request.header.data());
    auto reply = upstream->client.Request(code, request.snvt, request.value);
    if (!reply.Ok()) return Failed(FailureKind::kOther, reply.Why().words);
    if (reply.Value().Ok()) return std::move(reply.Value().data);
    auto reason = upstream->client.LastReason();
    if (!reason.Ok())
        return Failed(FailureKind::kOther, "answered ERROR, and then: " + reason.Why().words);
    if (reason.Value().empty())
        return Failed(FailureKind::kOther, "answered ERROR without a reason");
    return Failure{FailureKind::kOther, std::move(reason.Value())};
}

void GatewayRelay::Closed(std::uint64_t connection) {
    upstreams_.erase(connection);
}

void GatewayRelay::Finish() {
    upstreams_.clear();
}

}  // namespace vr620
