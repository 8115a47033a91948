// A client of the VR-620 gateway: one TCP connection, one request and its reply at a time. The
// suite's client programs are written on this. Every wait is bounded.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "message_format.h"

namespace vr620 {

class GatewayClient {
  public:
    GatewayClient() = default;
    ~GatewayClient();
    GatewayClient(const GatewayClient&) = delete;
    GatewayClient& operator=(const GatewayClient&) = delete;

    // Connects within `timeout`, trying each address the host resolves to (IPv4 or IPv6) in
    // turn; on failure `error` says why in words.
    bool Connect(const std::string& host, int port, std::chrono::milliseconds timeout,
                 std::string& error);
    void Close();
    bool Connected() const { return socket_ != -1; }

    // How long a reply may take: a device transaction, or a modem dial, takes seconds.
    void SetReplyTimeout(std::chrono::milliseconds timeout) { replyTimeout_ = timeout; }

    // Sends one request and waits for its reply. Nothing (with `error` set) when the gateway
    // cannot be reached, breaks the connection or answers with a malformed reply; the
    // connection is closed then.
    std::optional<gateway::Reply> Request(std::uint16_t code, std::uint16_t snvt,
                                          std::span<const std::uint8_t> data, std::string& error);

    std::optional<gateway::Reply> DeviceConnect(std::string& error);
    std::optional<gateway::Reply> DeviceDisconnect(std::string& error);
    std::optional<gateway::Reply> Read(std::uint16_t snvt, std::string& error);
    std::optional<gateway::Reply> Write(std::uint16_t snvt, std::span<const std::uint8_t> value,
                                        std::string& error);
    // Why this connection's most recent request answered ERROR, in the gateway's words; empty
    // when none did, or when the gateway cannot tell (one that does not know the question
    // echoes it as an empty reply). Nothing, with `error` set, as Request.
    std::optional<std::string> LastReason(std::string& error);

  private:
    int socket_ = -1;
    // This client's start of the platform's socket library, held until it is destroyed.
    bool socketsStarted_ = false;
    std::chrono::milliseconds replyTimeout_{60'000};
};

}  // namespace vr620
