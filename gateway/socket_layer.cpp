#include "socket_layer.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "debug_line.h"
#include "message_format.h"
#include "deadline.h"

namespace gateway {
namespace {

// Sockets need no start-up on this platform; the count is kept so that every start is paired
// with its clean-up as callers expect.
std::mutex startMutex;
unsigned startCount = 0;

std::optional<in_addr> FirstIpv4Address(const char* name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &result) != 0 || result == nullptr) return std::nullopt;
    in_addr address = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr;
    freeaddrinfo(result);
    return address;
}

using Clock = std::chrono::steady_clock;

// Reads exactly `size` bytes unless the peer goes, an error occurs or the deadline passes.
int ReceiveExactly(int socket, std::uint8_t* buffer, std::size_t size, Clock::time_point deadline) {
    std::size_t done = 0;
    while (done < size) {
        pollfd pfd{socket, POLLIN, 0};
        int ready = poll(&pfd, 1, common::MillisecondsUntil(deadline));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return kResultReceiveError;
        }
        if (ready == 0) return kResultStalled;
        ssize_t got = recv(socket, buffer + done, size - done, 0);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return errno == ECONNRESET ? kResultConnectionReset : kResultReceiveError;
        }
        if (got == 0) return kResultConnectionReset;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<int>(done);
}

}  // namespace

bool StartSockets() {
    std::lock_guard lock(startMutex);
    ++startCount;
    return true;
}

bool CleanupSockets() {
    std::lock_guard lock(startMutex);
    if (startCount > 0) --startCount;
    return true;
}

unsigned SocketStartCount() {
    std::lock_guard lock(startMutex);
    return startCount;
}

bool IsLocalHost(const char* host) {
    StartSockets();
    char ownName[128] = {};
    if (gethostname(ownName, sizeof ownName - 1) != 0) {
        CleanupSockets();
        common::WriteDebugLine("Error in gethostname!");
        return false;
    }
    std::optional<in_addr> own = FirstIpv4Address(ownName);
    if (!own) {
        CleanupSockets();
        common::WriteDebugLine("Error in gethostbyname!");
        return false;
    }
    std::optional<in_addr> given = host != nullptr ? FirstIpv4Address(host) : std::nullopt;
    if (!given) {
        CleanupSockets();
        common::WriteDebugLine("Error in gethostbyname!");
        return false;
    }
    CleanupSockets();
    return given->s_addr == own->s_addr || given->s_addr == inet_addr("127.0.0.1");
}

int CreateServerSocket(int port, std::uint32_t bindAddress) {
    if (!StartSockets()) {
        common::WriteDebugLine("Error in initializing socket interface!");
        return kInvalidSocket;
    }
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) {
        CleanupSockets();
        common::WriteDebugLine("Error in creating socket!");
        return kInvalidSocket;
    }
    // On Linux this only allows binding over connections of an earlier run that linger in
    // TIME_WAIT (as the other platform allows anyway); a port with a live listener still fails.
    int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(bindAddress);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(listener);
        CleanupSockets();
        common::WriteDebugLine("Error in binding socket!");
        return kInvalidSocket;
    }
    // A storm of short connections must not overflow the queue while the server is busy.
    if (listen(listener, SOMAXCONN) != 0) {
        close(listener);
        CleanupSockets();
        common::WriteDebugLine("Error in setting socket for listening!");
        return kInvalidSocket;
    }
    common::WriteDebugLine("Server socket was created successfully...");
    return listener;
}

void DestroyServerSocket(int socket) {
    if (socket == kInvalidSocket) {
        common::WriteDebugLine("Invalid socket! Nothing to destroy.");
        return;
    }
    close(socket);
    CleanupSockets();
    common::WriteDebugLine("Server socket destroyed successfully...");
}

int BoundPort(int socket) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
    return ntohs(address.sin_port);
}

int SendGatewayMessage(int socket, const std::uint8_t* body, int length) {
    if (socket == kInvalidSocket) return kResultInvalidSocket;
    if (length < 0) return kResultBadLength;
    std::vector<std::uint8_t> block(kLengthFieldSize + static_cast<std::size_t>(length));
    auto field = EncodeLength(static_cast<std::uint32_t>(length));
    std::memcpy(block.data(), field.data(), field.size());
    if (length > 0) std::memcpy(block.data() + kLengthFieldSize, body, length);
    std::size_t sent = 0;
    while (sent < block.size()) {
        ssize_t n = send(socket, block.data() + sent, block.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == ECONNRESET || errno == EPIPE ? kResultConnectionReset
                                                         : kResultSendError;
        }
        sent += static_cast<std::size_t>(n);
    }
    return static_cast<int>(sent);
}

int ReceiveGatewayMessage(int socket, std::uint8_t* buffer, int capacity, int completionMs) {
    if (socket == kInvalidSocket) return kResultInvalidSocket;
    auto deadline = Clock::now() + std::chrono::milliseconds(completionMs);
    std::array<std::uint8_t, kLengthFieldSize> field{};
    int got = ReceiveExactly(socket, field.data(), field.size(), deadline);
    if (got < 0) return got;
    // Compared unsigned: a field with the top bit set is refused like any other oversize body.
    std::uint32_t length = DecodeLength(field);
    if (capacity < 0 || length > static_cast<std::uint32_t>(capacity)) return kResultBadLength;
    if (length > 0) {
        got = ReceiveExactly(socket, buffer, length, deadline);
        if (got < 0) return got;
    }
    buffer[length] = 0;
    return static_cast<int>(length);
}

}  // namespace gateway
