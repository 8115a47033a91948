// The platform's sockets, as the gateway and its client use them: BSD sockets on POSIX, Winsock
// 2.2 on Windows. Every socket is close-on-exec (not inherited on Windows), a send never raises
// a signal, and a failure is told in our own words with the system's code for its text.
//
// A socket is an int here. A Windows SOCKET is a handle of which only the low 32 bits are
// significant, so it is kept in an int and sign-extended back; INVALID_SOCKET is
// kInvalidSocket.
#pragma once

#include <chrono>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "ip_address.h"
#include "outcome.h"

namespace gateway::net {

inline constexpr int kInvalidSocket = -1;

// Starts and stops the platform's socket library (Winsock 2.2; nothing on POSIX). Only the
// socket layer's start counter calls these.
bool StartPlatform();
void CleanupPlatform();

enum class ErrorKind {
    kWouldBlock,      // nothing to do now on a non-blocking socket
    kInterrupted,     // a signal came first; try again
    kPeerGone,        // connection reset, broken pipe, aborted
    kAddressInUse,    // another socket holds the address and port
    kNotPermitted,    // the system does not let this user do it (a port below 1024)
    kAddressNotHere,  // the address is not one of this machine's
    kOther,
};
struct Error {
    ErrorKind kind = ErrorKind::kOther;
    int code = 0;  // the system's own, for common::SystemErrorText
};
// Why the last failed socket call of this thread failed.
Error LastError();

// This machine's name, or the empty text.
std::string OwnHostName();
// The addresses `host` (a name or an address text) resolves to, in the resolver's order (never
// none), or the resolver's reason in words. Waits for the resolver.
common::Outcome<std::vector<IpAddress>> ResolveHost(const std::string& host);
// The addresses of this machine's interfaces, of both families.
std::vector<IpAddress> InterfaceAddresses();

// A blocking TCP socket of the family of IPv6 (true) or IPv4, or kInvalidSocket.
int OpenStreamSocket(bool ipv6);
void CloseSocket(int socket);
bool SetNonBlocking(int socket);
// Requests and replies are small: each goes out at once.
bool SetNoDelay(int socket);
// Sends the end of the stream (FIN) after what has been sent; receiving goes on.
bool ShutdownSending(int socket);

// Readies a socket for listening: the platform's rule for reusing the port (on POSIX past
// connections of an earlier run that linger in TIME_WAIT; on Windows nobody may take a port in
// use), and, with `dualStack`, an IPv6 socket that takes IPv4 clients too.
bool PrepareListener(int socket, bool dualStack);
// `address` on a socket of its family (IPv4 for an IPv4-mapped one); port 0 lets the system
// choose.
bool BindSocket(int socket, const IpAddress& address, int port);
// With the system's largest backlog.
bool ListenSocket(int socket);
// The local port a socket is bound to, or 0.
int BoundPort(int socket);
// The next waiting connection, non-blocking and close-on-exec, with the client's address in
// `peer`; connections that broke while they waited are passed over. kInvalidSocket when none
// waits (kWouldBlock) or accepting fails.
int AcceptConnection(int listener, IpAddress& peer);
// Connects `socket` (of the family of `address`) within `deadline` and leaves it non-blocking.
// False with LastError() set; a deadline that passes is a time-out.
bool ConnectSocket(int socket, const IpAddress& address, int port,
                   std::chrono::steady_clock::time_point deadline);

// Bytes handed over or received (0 when the peer has closed), or -1.
long SendBytes(int socket, const void* data, std::size_t size);
long ReceiveBytes(int socket, void* data, std::size_t size);

// What a poll waits for and what it found.
enum PollEvent : short {
    kPollReadable = 1,
    kPollWritable = 2,
    kPollHangUp = 4,  // found only
    kPollFailed = 8,  // found only
};
struct PollEntry {
    int socket = kInvalidSocket;  // entries with kInvalidSocket are passed over
    short events = 0;
    short found = 0;
};
// Waits until an entry is ready or `timeoutMs` has passed (-1: no limit). The number of ready
// entries, 0 after the time-out, -1 on failure. At least one entry must hold a socket. On
// POSIX any descriptor may take part.
int Poll(std::span<PollEntry> entries, int timeoutMs);

}  // namespace gateway::net
