// One TLS connection over a connected, non-blocking socket, driven without ever waiting: the
// caller polls the socket for what the last call asked for and calls again. A server's many
// handshakes thus run side by side in its one poll loop; a client waits with its own deadline.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "outcome.h"
#include "tls_context.h"

namespace tls {

// The handshake's step: poll for reading or writing and call again, or done, or refused (with
// the reason in Failure()).
enum class Step { kWantRead, kWantWrite, kDone, kRefused };

// What a read or write after the handshake did: bytes moved, nothing until the socket is ready
// for reading or writing, the peer closed, or a failure (the reason in Failure()).
struct Io {
    enum class Kind { kMoved, kWantRead, kWantWrite, kClosed, kFailed };
    Kind kind = Kind::kFailed;
    std::size_t bytes = 0;
};

// The reasons a handshake is refused, as the connection log writes them.
inline constexpr std::string_view kNotTls = "not TLS";
inline constexpr std::string_view kNoCertificate = "TLS, no certificate";
inline std::string NotTrusted(const std::string& fingerprint) {
    return "TLS certificate not trusted (SHA256 " + fingerprint + ")";
}

class Stream {
  public:
    // Says close_notify when the connection was established and that can go out at once, and
    // frees the TLS state; the socket stays the owner's to close.
    virtual ~Stream() = default;

    virtual Step Handshake() = 0;
    virtual Io Read(void* data, std::size_t size) = 0;
    virtual Io Write(const void* data, std::size_t size) = 0;
    // Bytes already received and decrypted, which a poll of the socket does not show.
    virtual bool Pending() const = 0;
    // Why the handshake was refused, or why a read or write failed.
    virtual const std::string& Failure() const = 0;
    // The peer's certificate's fingerprint, once it has been seen.
    virtual const std::string& PeerFingerprint() const = 0;
};

// The server's side of an accepted connection: its first bytes must be a TLS record of a
// handshake, or the handshake is refused as kNotTls. Fails when the context is not a server's
// or no TLS state can be made.
common::Outcome<std::unique_ptr<Stream>> AcceptStream(Context& context, int socket);
// The client's side of a connection it made.
common::Outcome<std::unique_ptr<Stream>> ConnectStream(Context& context, int socket);

}  // namespace tls
