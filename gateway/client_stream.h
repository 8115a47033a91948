// The bytes of one client's connection, moved without waiting: straight on its socket, or
// through TLS over it. The serving loop polls for what the stream asks (TLS may need to write
// while the loop only wants to read, and holds bytes that a poll of the socket does not show).
#pragma once

#include <cstddef>
#include <memory>

#include "socket_system.h"
#include "tls_stream.h"

namespace gateway {

class ClientStream {
  public:
    ClientStream() = default;
    ~ClientStream() { Close(); }
    ClientStream(const ClientStream&) = delete;
    ClientStream& operator=(const ClientStream&) = delete;

    // Takes over `socket`; `tls` (may be null) runs over it.
    void Open(int socket, std::unique_ptr<tls::Stream> tls);

    enum class Outcome { kMoved, kWait, kClosed, kFailed };
    struct Result {
        Outcome outcome = Outcome::kFailed;
        std::size_t bytes = 0;
    };
    Result Receive(void* data, std::size_t size);
    Result Send(const void* data, std::size_t size);
    // One step of the TLS handshake (kDone at once without TLS).
    tls::Step Handshake();

    // What to poll the socket for when the loop waits to receive (net::kPollReadable) or to
    // send (net::kPollWritable): that, unless TLS asked for the other. In the handshake the
    // loop waits to receive.
    short PollEvents(short wanted) const { return tlsWants_ != 0 ? tlsWants_ : wanted; }
    // Received bytes waiting inside TLS: ready to receive without a poll.
    bool Pending() const { return tls_ && tls_->Pending(); }
    bool Tls() const { return tls_ != nullptr; }
    // The handshake's refusal, or the reason TLS failed; the peer's fingerprint.
    const std::string& TlsFailure() const;
    const std::string& PeerFingerprint() const;

    // After a refused handshake: TLS is let go (its alert has gone out) and the end of the
    // stream is sent, while the socket stays open to take what the peer still sends. Closed at
    // once, a socket with unread bytes would reset the connection, and the peer could lose the
    // alert that tells it why.
    void Linger();
    // Reads and drops what has come; false once the peer has closed (or the socket failed).
    bool DiscardReceived();

    // TLS says goodbye if it can at once, then the socket is closed. Idempotent.
    void Close();

  private:
    // `natural`: what the call itself waits for.
    Result FromTls(const tls::Io& io, short natural);

    int socket_ = net::kInvalidSocket;
    std::unique_ptr<tls::Stream> tls_;
    short tlsWants_ = 0;
};

}  // namespace gateway
