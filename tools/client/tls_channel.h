// A client's connection to a gateway through TLS: the handshake, then the messages' bytes, every
// wait bounded by a deadline.
#pragma once

#include <memory>
#include <string>

#include "gateway_messages.h"
#include "outcome.h"
#include "tls_stream.h"

namespace vr620 {

class TlsChannel final : public ByteChannel {
  public:
    // `stream` runs over `socket`, which stays the caller's.
    TlsChannel(int socket, std::unique_ptr<tls::Stream> stream);

    // Runs the handshake until it ends or `deadline` passes; a refusal or the time running out
    // fails as kTlsRefused.
    common::Outcome<> Handshake(Deadline deadline);
    int SendSome(const std::uint8_t* data, std::size_t size, Deadline deadline) override;
    int ReceiveSome(std::uint8_t* data, std::size_t size, Deadline deadline) override;
    std::string Failure() const override { return stream_->Failure(); }

  private:
    // Moves bytes with `move` until some have moved, TLS fails, or the deadline passes.
    template <typename Move>
    int Some(Move move, Deadline deadline, int failed);

    int socket_;
    std::unique_ptr<tls::Stream> stream_;
};

}  // namespace vr620
