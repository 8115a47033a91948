// The thin layer over BSD sockets that the gateway is built on: a counted start and clean-up,
// the local-host check, the listening socket, and one length-prefixed message in each
// direction. Its own diagnostics go to the debugger output only; callers turn the result codes
// into log lines. All sockets are close-on-exec; the message functions work on blocking sockets
// (the client side; the server keeps its own per-connection state).
#pragma once

#include <cstdint>

namespace gateway {

inline constexpr int kInvalidSocket = -1;

// Results of SendGatewayMessage and ReceiveGatewayMessage: a byte count, or one of these.
enum SocketResult : int {
    kResultInvalidSocket = -1,
    kResultConnectionReset = -2,  // the peer has gone (closed, reset, broken pipe)
    kResultReceiveError = -3,
    kResultSendError = -4,
    kResultBadLength = -5,  // a negative length to send, or a body above the capacity
    kResultStalled = -6,    // the message did not arrive whole within the bound
};

// How long the rest of a message may take once its first byte is due, so that one client that
// stops in the middle of a message cannot hold the server for long.
inline constexpr int kMessageCompletionMs = 2000;

bool StartSockets();
bool CleanupSockets();
// The number of starts not yet balanced by a clean-up.
unsigned SocketStartCount();

// True when `host` resolves to this machine's first IPv4 address or to 127.0.0.1.
bool IsLocalHost(const char* host);

// A listening socket on `bindAddress` (host byte order; 0, the default, is every local
// interface) with the system's largest backlog, or kInvalidSocket. Port 0 lets the system
// choose (see BoundPort).
int CreateServerSocket(int port, std::uint32_t bindAddress = 0);
void DestroyServerSocket(int socket);
// The local port a socket is bound to, or 0.
int BoundPort(int socket);

// Sends the length field and the body whole. Returns length + 4, or a negative SocketResult.
// A peer that has gone is a result, never a signal.
int SendGatewayMessage(int socket, const std::uint8_t* body, int length);

// Receives one message whole into `buffer`, which must hold capacity + 1 bytes: a zero byte is
// stored behind the body. A body above `capacity` (a length field of 0x80000000 or more among
// them) is refused without reading it. The whole message must arrive within `completionMs`.
// Returns the body length (0 or more) or a negative SocketResult.
int ReceiveGatewayMessage(int socket, std::uint8_t* buffer, int capacity,
                          int completionMs = kMessageCompletionMs);

}  // namespace gateway
