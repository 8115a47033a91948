#include "client_stream.h"

#include <cstdint>

namespace gateway {
namespace {

ClientStream::Result FromSocket(long moved) {
    if (moved > 0) return {ClientStream::Outcome::kMoved, static_cast<std::size_t>(moved)};
    if (moved == 0) return {ClientStream::Outcome::kClosed, 0};
    switch (net::LastError().kind) {
        case net::ErrorKind::kWouldBlock:
        case net::ErrorKind::kInterrupted:
            return {ClientStream::Outcome::kWait, 0};
        case net::ErrorKind::kPeerGone:
            return {ClientStream::Outcome::kClosed, 0};
        default:
            return {ClientStream::Outcome::kFailed, 0};
    }
}

const std::string kNothing;

}  // namespace

void ClientStream::Open(int socket, std::unique_ptr<tls::Stream> tls) {
    Close();
    socket_ = socket;
    tls_ = std::move(tls);
}

ClientStream::Result ClientStream::Receive(void* data, std::size_t size) {
    if (!tls_) return FromSocket(net::ReceiveBytes(socket_, data, size));
    return FromTls(tls_->Read(data, size), net::kPollReadable);
}

ClientStream::Result ClientStream::Send(const void* data, std::size_t size) {
    if (!tls_) {
        // A send of nothing is no close.
        if (size == 0) return {Outcome::kMoved, 0};
        return FromSocket(net::SendBytes(socket_, data, size));
    }
    return FromTls(tls_->Write(data, size), net::kPollWritable);
}

tls::Step ClientStream::Handshake() {
    if (!tls_) return tls::Step::kDone;
    const tls::Step step = tls_->Handshake();
    tlsWants_ = step == tls::Step::kWantWrite ? net::kPollWritable : 0;
    return step;
}

ClientStream::Result ClientStream::FromTls(const tls::Io& io, short natural) {
    tlsWants_ = 0;
    switch (io.kind) {
        case tls::Io::Kind::kMoved:
            return {Outcome::kMoved, io.bytes};
        case tls::Io::Kind::kWantRead:
        case tls::Io::Kind::kWantWrite: {
            const short wants =
                io.kind == tls::Io::Kind::kWantRead ? net::kPollReadable : net::kPollWritable;
            if (wants != natural) tlsWants_ = wants;
            return {Outcome::kWait, 0};
        }
        case tls::Io::Kind::kClosed:
            return {Outcome::kClosed, 0};
        case tls::Io::Kind::kFailed:
            break;
    }
    return {Outcome::kFailed, 0};
}

const std::string& ClientStream::TlsFailure() const {
    return tls_ ? tls_->Failure() : kNothing;
}

const std::string& ClientStream::PeerFingerprint() const {
    return tls_ ? tls_->PeerFingerprint() : kNothing;
}

void ClientStream::Linger() {
    tls_.reset();
    tlsWants_ = 0;
    net::ShutdownSending(socket_);
}

bool ClientStream::DiscardReceived() {
    // A few reads a turn, so that a peer that floods cannot hold the loop.
    for (int i = 0; i < 8; ++i) {
        std::uint8_t dropped[4096];
        const Result got = FromSocket(net::ReceiveBytes(socket_, dropped, sizeof dropped));
        if (got.outcome == Outcome::kWait) return true;
        if (got.outcome != Outcome::kMoved) return false;
    }
    return true;
}

void ClientStream::Close() {
    tls_.reset();
    net::CloseSocket(socket_);
    socket_ = net::kInvalidSocket;
    tlsWants_ = 0;
}

}  // namespace gateway
