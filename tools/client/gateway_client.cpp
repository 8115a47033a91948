#include "gateway_client.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "socket_layer.h"

namespace vr620 {
namespace {

std::string ResultText(int result) {
    switch (result) {
        case gateway::kResultConnectionReset:
            return "the gateway closed the connection";
        case gateway::kResultStalled:
            return "no reply from the gateway in time";
        case gateway::kResultBadLength:
            return "the gateway's reply is too long";
        case gateway::kResultSendError:
            return "the request could not be sent";
        default:
            return "the connection to the gateway failed";
    }
}

}  // namespace

GatewayClient::~GatewayClient() {
    Close();
}

void GatewayClient::Close() {
    if (socket_ >= 0) close(socket_);
    socket_ = -1;
}

bool GatewayClient::Connect(const std::string& host, int port, std::chrono::milliseconds timeout,
                            std::string& error) {
    Close();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (resolved != 0 || found == nullptr) {
        error = "cannot resolve host '" + host + "': " + gai_strerror(resolved);
        return false;
    }
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0) {
        freeaddrinfo(found);
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return false;
    }
    int rc = connect(s, found->ai_addr, found->ai_addrlen);
    freeaddrinfo(found);
    if (rc != 0 && errno == EINPROGRESS) {
        pollfd pfd{s, POLLOUT, 0};
        int ready;
        do {
            ready = poll(&pfd, 1, static_cast<int>(timeout.count()));
        } while (ready < 0 && errno == EINTR);
        int soError = 0;
        socklen_t size = sizeof soError;
        if (ready == 0) {
            soError = ETIMEDOUT;
        } else if (ready < 0 || getsockopt(s, SOL_SOCKET, SO_ERROR, &soError, &size) != 0) {
            soError = errno;
        }
        rc = soError == 0 ? 0 : -1;
        errno = soError;
    }
    if (rc != 0) {
        error = "cannot reach the gateway at " + host + ":" + std::to_string(port) + ": " +
                std::strerror(errno);
        close(s);
        return false;
    }
    fcntl(s, F_SETFL, fcntl(s, F_GETFL) & ~O_NONBLOCK);
    int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    socket_ = s;
    return true;
}

std::optional<gateway::Reply> GatewayClient::Request(std::uint16_t code, std::uint16_t snvt,
                                                     std::span<const std::uint8_t> data,
                                                     std::string& error) {
    if (socket_ < 0) {
        error = "not connected to the gateway";
        return std::nullopt;
    }
    auto body = gateway::BuildRequestBody(code, snvt, data);
    int sent = gateway::SendGatewayMessage(socket_, body.data(), static_cast<int>(body.size()));
    if (sent < 0) {
        error = ResultText(sent);
        Close();
        return std::nullopt;
    }
    std::array<std::uint8_t, gateway::kMaxBodySize + 1> buffer{};
    int received = gateway::ReceiveGatewayMessage(socket_, buffer.data(), gateway::kMaxBodySize,
                                                  static_cast<int>(replyTimeout_.count()));
    if (received < 0) {
        error = ResultText(received);
        Close();
        return std::nullopt;
    }
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

}  // namespace vr620
