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

common::Outcome<> GatewayClient::UseTls(const tls::Settings& settings) {
    auto context = tls::MakeContext(tls::Role::kClient, settings, [](const std::string& notice) {
        common::WriteDebugLine("vr620 client: " + notice);
    });
    if (!context.Ok()) {
        tls_.reset();
        return common::Failure{common::FailureKind::kOther, context.Why().words};
    }
    tls_ = std::move(context.Value());
    return common::Done{};
}

common::Failure GatewayClient::MessageFailure(int result) const {
    const std::string failure = channel_ ? channel_->Failure() : std::string();
    if (failure.empty() || (result != kResultReceiveError && result != kResultSendError))
        return common::Failure{common::FailureKind::kOther, ResultText(result)};
    // The gateway refuses a certificate it does not trust after the handshake (TLS 1.3): the
    // first reply is its alert.
    return common::Failure{common::FailureKind::kTlsRefused,
                           "TLS failed: " + WithTrustHint(failure)};
}

common::Outcome<> GatewayClient::Connect(const std::string& host, int port,
                                         std::chrono::milliseconds timeout) {
    auto opened = Open(host, port, timeout);
    if (opened.Ok()) return opened;
    common::Failure why = opened.Why();
    switch (why.kind) {
        case common::FailureKind::kUnreachable:
            why.words = "cannot reach the gateway at " + Endpoint(host, port) + ": " + why.words;
            break;
        case common::FailureKind::kTlsRefused:
            why.words = "TLS with the gateway at " + Endpoint(host, port) + " failed: " + why.words;
            break;
        default:
            break;
    }
    return why;
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

common::Outcome<gateway::Reply> GatewayClient::Request(std::uint16_t code, std::uint16_t snvt,
                                                       std::span<const std::uint8_t> data) {
    if (!channel_)
        return common::Failure{common::FailureKind::kOther, "not connected to the gateway"};
    const auto deadline = std::chrono::steady_clock::now() + replyTimeout_;
    auto body = gateway::BuildRequestBody(code, snvt, data);
    const int sent =
        SendGatewayMessage(*channel_, body.data(), static_cast<int>(body.size()), deadline);
    if (sent < 0) {
        auto why = MessageFailure(sent);
        Close();
        return why;
    }
    std::array<std::uint8_t, gateway::kMaxBodySize + 1> buffer{};
    const int received =
        ReceiveGatewayMessage(*channel_, buffer.data(), gateway::kMaxBodySize, deadline);
    if (received < 0) {
        auto why = MessageFailure(received);
        Close();
        return why;
    }
    // A gateway that does not know LAST_REASON echoes its body up to the first zero: nothing.
    if (received == 0 && code == gateway::kLastReason)
        return gateway::Reply{code, snvt, gateway::kStatusOk, {}};
    auto reply = gateway::ParseReplyBody(
        std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(received)));
    if (!reply || reply->code != code || reply->snvt != snvt) {
        Close();
        return common::Failure{common::FailureKind::kOther,
                               "the gateway's reply does not answer the request"};
    }
    return std::move(*reply);
}

common::Outcome<gateway::Reply> GatewayClient::DeviceConnect() {
    return Request(gateway::kDeviceConnect, 0, {});
}

common::Outcome<gateway::Reply> GatewayClient::DeviceDisconnect() {
    return Request(gateway::kDeviceDisconnect, 0, {});
}

common::Outcome<gateway::Reply> GatewayClient::Read(std::uint16_t snvt) {
    return Request(gateway::kSnvtRead, snvt, {});
}

common::Outcome<gateway::Reply> GatewayClient::Write(std::uint16_t snvt,
                                                     std::span<const std::uint8_t> value) {
    return Request(gateway::kSnvtWrite, snvt, value);
}

common::Outcome<std::string> GatewayClient::LastReason() {
    auto reply = Request(gateway::kLastReason, 0, {});
    if (!reply.Ok()) return reply.Why();
    if (!reply.Value().Ok()) return std::string();
    return std::string(reply.Value().data.begin(), reply.Value().data.end());
}

}  // namespace vr620
