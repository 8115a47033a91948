#include "gateway_client.h"

#include <array>

#include "debug_line.h"
#include "gateway_messages.h"
#include "socket_layer.h"
#include "system_error.h"
#include "tls_channel.h"

namespace vr620 {
namespace {

namespace net = gateway::net;

std::string ResultText(int result) {
    switch (result) {
        case kResultConnectionReset:
            return "the gateway closed the connection";
        case kResultStalled:
            return "no reply from the gateway in time";
        case kResultBadLength:
            return "the gateway's reply is too long";
        case kResultSendError:
            return "the request could not be sent";
        default:
            return "the connection to the gateway failed";
    }
}

// "host:port", an IPv6 address in brackets.
std::string Endpoint(const std::string& host, int port) {
    const bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

// A TLS failure; an alert about our certificate says what to look at.
std::string WithTrustHint(const std::string& failure) {
    if (failure.find("alert") == std::string::npos ||
        failure.find("certificate") == std::string::npos)
        return failure;
    return failure +
           " (the gateway does not trust this computer's certificate: is its fingerprint in the "
           "gateway's trust file?)";
}

}  // namespace

GatewayClient::~GatewayClient() {
    Close();
    if (socketsStarted_) gateway::CleanupSockets();
}

void GatewayClient::Close() {
    channel_.reset();
    net::CloseSocket(socket_);
    socket_ = net::kInvalidSocket;
}

bool GatewayClient::UseTls(const tls::Settings& settings, std::string& error) {
    auto context = tls::MakeContext(tls::Role::kClient, settings, [](const std::string& notice) {
        common::WriteDebugLine("vr620 client: " + notice);
    });
    if (!context.Ok()) {
        tls_.reset();
        error = context.Why().words;
        return false;
    }
    tls_ = std::move(context.Value());
    return true;
}

std::string GatewayClient::FailureText(int result) const {
    const std::string failure = channel_ ? channel_->Failure() : std::string();
    if (failure.empty() || (result != kResultReceiveError && result != kResultSendError))
        return ResultText(result);
    // The gateway refuses a certificate it does not trust after the handshake (TLS 1.3): the
    // first reply is its alert.
    return "TLS failed: " + WithTrustHint(failure);
}

bool GatewayClient::Connect(const std::string& host, int port, std::chrono::milliseconds timeout,
                            std::string& error) {
    const auto opened = Open(host, port, timeout);
    if (opened.Ok()) return true;
    const common::Failure& why = opened.Why();
    switch (why.kind) {
        case common::FailureKind::kUnreachable:
            error = "cannot reach the gateway at " + Endpoint(host, port) + ": " + why.words;
            break;
        case common::FailureKind::kTlsRefused:
            error = "TLS with the gateway at " + Endpoint(host, port) + " failed: " + why.words;
            break;
        default:
            error = why.words;
            break;
    }
    return false;
}

common::Outcome<> GatewayClient::Open(const std::string& host, int port,
                                      std::chrono::milliseconds timeout) {
    using common::Failure;
    using common::FailureKind;
    Close();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    if (!socketsStarted_ && !(socketsStarted_ = gateway::StartSockets())) {
        return Failure{FailureKind::kOther, "the system's sockets cannot be used: " +
                                                common::SystemErrorText(net::LastError().code)};
    }
    const auto addresses = net::ResolveHost(host);
    if (!addresses.Ok()) {
        return Failure{FailureKind::kOther,
                       "cannot resolve host '" + host + "': " + addresses.Why().words};
    }
    std::string why;
    // Each address in turn, all within the one time-out.
    for (const gateway::IpAddress& address : addresses.Value()) {
        const int s = net::OpenStreamSocket(!address.IsIpv4());
        if (s == net::kInvalidSocket) {
            why = "cannot create a socket: " + common::SystemErrorText(net::LastError().code);
            continue;
        }
        if (net::ConnectSocket(s, address, port, deadline)) {
            net::SetNoDelay(s);
            socket_ = s;
            if (!tls_) {
                channel_ = std::make_unique<SocketChannel>(s);
                return common::Done{};
            }
            // Connected: a refusal now is the gateway's word, not the address's.
            auto stream = tls::ConnectStream(*tls_, s);
            if (stream.Ok()) {
                auto channel = std::make_unique<TlsChannel>(s, std::move(stream.Value()));
                const auto shaken = channel->Handshake(deadline);
                if (shaken.Ok()) {
                    channel_ = std::move(channel);
                    return common::Done{};
                }
                why = shaken.Why().words;
            } else {
                why = stream.Why().words;
            }
            Close();
            return Failure{FailureKind::kTlsRefused, WithTrustHint(why)};
        }
        why = common::SystemErrorText(net::LastError().code);
        net::CloseSocket(s);
    }
    return Failure{FailureKind::kUnreachable, why};
}

std::optional<gateway::Reply> GatewayClient::Request(std::uint16_t code, std::uint16_t snvt,
                                                     std::span<const std::uint8_t> data,
                                                     std::string& error) {
    if (!channel_) {
        error = "not connected to the gateway";
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + replyTimeout_;
    auto body = gateway::BuildRequestBody(code, snvt, data);
    const int sent =
        SendGatewayMessage(*channel_, body.data(), static_cast<int>(body.size()), deadline);
    if (sent < 0) {
        error = FailureText(sent);
        Close();
        return std::nullopt;
    }
    std::array<std::uint8_t, gateway::kMaxBodySize + 1> buffer{};
    const int received =
        ReceiveGatewayMessage(*channel_, buffer.data(), gateway::kMaxBodySize, deadline);
    if (received < 0) {
        error = FailureText(received);
        Close();
        return std::nullopt;
    }
    // A gateway that does not know LAST_REASON echoes its body up to the first zero: nothing.
    if (received == 0 && code == gateway::kLastReason)
        return gateway::Reply{code, snvt, gateway::kStatusOk, {}};
    auto reply = gateway::ParseReplyBody(
        std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(received)));
    if (!reply || reply->code != code || reply->snvt != snvt) {
        error = "the gateway's reply does not answer the request";
        Close();
        return std::nullopt;
    }
    return reply;
}

std::optional<gateway::Reply> GatewayClient::DeviceConnect(std::string& error) {
    return Request(gateway::kDeviceConnect, 0, {}, error);
}

std::optional<gateway::Reply> GatewayClient::DeviceDisconnect(std::string& error) {
    return Request(gateway::kDeviceDisconnect, 0, {}, error);
}

std::optional<gateway::Reply> GatewayClient::Read(std::uint16_t snvt, std::string& error) {
    return Request(gateway::kSnvtRead, snvt, {}, error);
}

std::optional<gateway::Reply> GatewayClient::Write(std::uint16_t snvt,
                                                   std::span<const std::uint8_t> value,
                                                   std::string& error) {
    return Request(gateway::kSnvtWrite, snvt, value, error);
}

std::optional<std::string> GatewayClient::LastReason(std::string& error) {
    auto reply = Request(gateway::kLastReason, 0, {}, error);
    if (!reply) return std::nullopt;
    if (!reply->Ok()) return std::string();
    return std::string(reply->data.begin(), reply->data.end());
}

}  // namespace vr620
