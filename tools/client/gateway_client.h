// A client of the VR-620 gateway: one TCP connection (plain, or TLS with this computer's
// certificate), one request and its reply at a time. Our own clients are written on it: `vr620`,
// its bench and the relay. Every wait is bounded.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "gateway_messages.h"
#include "message_format.h"
#include "outcome.h"
#include "tls_context.h"

namespace vr620 {

class GatewayClient {
  public:
    GatewayClient() = default;
    ~GatewayClient();
    GatewayClient(const GatewayClient&) = delete;
    GatewayClient& operator=(const GatewayClient&) = delete;

    // Speak TLS from the next Connect or Open on: present this certificate and trust the
    // gateway's by the trust file. Why not (kOther), in words, when the files cannot be used.
    common::Outcome<> UseTls(const tls::Settings& settings);

    // Connects within `timeout`, trying each address the host resolves to (IPv4 or IPv6) in
    // turn, then, with TLS, shakes hands within the same time. Its kind says where it stopped:
    // kUnreachable (the system's words: "Connection refused"), kTlsRefused (TLS's: "TLS
    // certificate not trusted (SHA256 ...)"), or kOther (no sockets, a host name that does not
    // resolve, said whole). Open's words do not name the gateway, for a caller that names it
    // itself; Connect's do, for the programs that print them ("cannot reach the gateway at
    // host:port: Connection refused").
    common::Outcome<> Open(const std::string& host, int port, std::chrono::milliseconds timeout);
    common::Outcome<> Connect(const std::string& host, int port, std::chrono::milliseconds timeout);
    void Close();
    bool Connected() const { return socket_ != -1; }

    // How long a reply may take: a device transaction, or a modem dial, takes seconds.
    void SetReplyTimeout(std::chrono::milliseconds timeout) { replyTimeout_ = timeout; }

    // Sends one request and waits for its reply. Why not, in words, when the gateway cannot be
    // reached, breaks the connection or answers with a malformed reply (kTlsRefused when TLS
    // said why, kOther otherwise); the connection is closed then.
    common::Outcome<gateway::Reply> Request(std::uint16_t code, std::uint16_t snvt,
                                            std::span<const std::uint8_t> data);

    common::Outcome<gateway::Reply> DeviceConnect();
    common::Outcome<gateway::Reply> DeviceDisconnect();
    common::Outcome<gateway::Reply> Read(std::uint16_t snvt);
    common::Outcome<gateway::Reply> Write(std::uint16_t snvt, std::span<const std::uint8_t> value);
    // Why this connection's most recent request answered ERROR, in the gateway's words; empty
    // when none did, or when the gateway cannot tell (one that does not know the question
    // echoes it as an empty reply). Why not as Request.
    common::Outcome<std::string> LastReason();

  private:
    // A failed message's failure; TLS's own words where they say more.
    common::Failure MessageFailure(int result) const;

    int socket_ = -1;
    std::unique_ptr<tls::Context> tls_;
    std::unique_ptr<ByteChannel> channel_;
    // This client's start of the platform's socket library, held until it is destroyed.
    bool socketsStarted_ = false;
    std::chrono::milliseconds replyTimeout_{60'000};
};

}  // namespace vr620
