// A gateway's requests passed on to another gateway over TLS, for the suite's client programs,
// which speak the plain protocol alone: the gateway serves them on this computer and hands each
// request (DEVICE_CONNECT and DEVICE_DISCONNECT too) to this runner, which sends it on over a
// TLS connection of that client's own and gives back the reply as it came. The connection is
// made at a client's first request and again at the next request after it failed, and closed
// with the client's.
//
// After an ERROR the relay asks the other gateway why (LAST_REASON, on the same connection), so
// that the log line, the client's LAST_REASON and the device's state here say the other
// gateway's words ("port /dev/ttyUSB0 lost"). What fails on the way is said in the relay's:
// "upstream gw.example:7106: TLS certificate not trusted (SHA256 ...)".
//
// It runs on the gateway's device worker alone, one request at a time, waiting with the client
// library's deadlines: a connection and its handshake within 10 s, a reply within 60 s (a modem
// dial at the other end).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "gateway_client.h"
#include "outcome.h"
#include "request_runner.h"
#include "tls_context.h"

namespace vr620 {

class GatewayRelay final : public gateway::RequestRunner {
  public:
    // A relay to the gateway's TLS port `port` on `host`, presenting the certificate of `tls`
    // and trusting the gateway by its trust file (or CA). Why not, when the files cannot be
    // used: a relay that could never work is said at its start.
    static common::Outcome<std::shared_ptr<GatewayRelay>> Make(const std::string& host, int port,
                                                               const tls::Settings& tls);

    gateway::DeviceOutcome Run(std::uint64_t connection, const gateway::Request& request) override;
    void Closed(std::uint64_t connection) override;
    void Finish() override;
    // "gw.example:7106", an IPv6 address in brackets.
    std::string Name() const override { return name_; }

  private:
    GatewayRelay(const std::string& host, int port, const tls::Settings& tls);

    struct Upstream {
        GatewayClient client;
        bool tls = false;  // the client's TLS is set up (its files read)
    };
    // The client's connection to the other gateway, made when there is none.
    common::Outcome<> Connect(Upstream& upstream);
    // A failure in the relay's words.
    common::Failure Failed(common::FailureKind kind, const std::string& words) const;

    std::string host_;
    int port_;
    tls::Settings tls_;
    std::string name_;
    std::map<std::uint64_t, std::unique_ptr<Upstream>> upstreams_;  // by client connection
};

}  // namespace vr620
