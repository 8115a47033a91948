#include "socket_layer.h"

#include <mutex>

#include "debug_line.h"
#include "system_error.h"

namespace gateway {
namespace {

std::mutex startMutex;  // guards startCount: clients and servers start sockets on any thread
unsigned startCount = 0;

// One try at a listening socket: the socket, or the failed step's debugger line and why.
struct Attempt {
    int socket = kInvalidSocket;
    const char* failure = nullptr;
    net::Error why;
};

common::Failure WhyNotListening(const net::Error& why, int port, const IpAddress& address) {
    const std::string tcpPort = "TCP port " + std::to_string(port);
    switch (why.kind) {
        case net::ErrorKind::kAddressInUse:
            return {common::FailureKind::kPortInUse, tcpPort + " is in use by another program"};
        case net::ErrorKind::kNotPermitted:
            return {common::FailureKind::kOther, tcpPort + " is not permitted to this user"};
        case net::ErrorKind::kAddressNotHere:
            return {common::FailureKind::kOther,
                    "the bind address " + FormatIpAddress(address) + " is not of this machine"};
        default:
            return {common::FailureKind::kOther,
                    tcpPort + " cannot be opened: " + common::SystemErrorText(why.code)};
    }
}

Attempt Listen(int port, const IpAddress& address, bool dualStack) {
    Attempt attempt;
    const int listener = net::OpenStreamSocket(!address.IsIpv4());
    if (listener == kInvalidSocket) {
        attempt.failure = "Error in creating socket!";
        attempt.why = net::LastError();
        return attempt;
    }
    if (!net::PrepareListener(listener, dualStack) || !net::BindSocket(listener, address, port)) {
        attempt.failure = "Error in binding socket!";
    } else if (!net::ListenSocket(listener)) {
        attempt.failure = "Error in setting socket for listening!";
    } else {
        attempt.socket = listener;
        return attempt;
    }
    attempt.why = net::LastError();
    net::CloseSocket(listener);
    return attempt;
}

}  // namespace

bool StartSockets() {
    std::lock_guard lock(startMutex);
    if (startCount == 0 && !net::StartPlatform()) {
        common::WriteDebugLine("Error in initializing winsock!");
        return false;
    }
    ++startCount;
    return true;
}

bool CleanupSockets() {
    std::lock_guard lock(startMutex);
    if (startCount == 1) net::CleanupPlatform();
    if (startCount > 0) --startCount;
    return true;
}

common::Outcome<int> CreateServerSocket(int port, const IpAddress& bindAddress) {
    if (!StartSockets()) {
        common::WriteDebugLine("Error in initializing socket interface!");
        return common::Failure{common::FailureKind::kOther,
                               "the system's sockets cannot be used: " +
                                   common::SystemErrorText(net::LastError().code)};
    }
    const bool everywhere = bindAddress.IsUnspecified();
    Attempt attempt = Listen(port, bindAddress, everywhere);
    // A machine without IPv6 has no IPv6 socket or address: every IPv4 interface then. A port
    // in use stays a failure.
    if (attempt.socket == kInvalidSocket && everywhere &&
        attempt.why.kind != net::ErrorKind::kAddressInUse)
        attempt = Listen(port, IpAddress::FromIpv4(0), false);
    if (attempt.socket == kInvalidSocket) {
        CleanupSockets();
        common::WriteDebugLine(attempt.failure);
        return WhyNotListening(attempt.why, port, bindAddress);
    }
    common::WriteDebugLine("Server socket was created successfully...");
    return attempt.socket;
}

void DestroyServerSocket(int socket) {
    if (socket == kInvalidSocket) {
        common::WriteDebugLine("Invalid socket! Nothing to destroy.");
        return;
    }
    net::CloseSocket(socket);
    CleanupSockets();
    common::WriteDebugLine("Server socket destroyed successfully...");
}

}  // namespace gateway
