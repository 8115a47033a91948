#include "tls_channel.h"

#include "socket_system.h"

namespace vr620 {

namespace net = gateway::net;

TlsChannel::TlsChannel(int socket, std::unique_ptr<tls::Stream> stream)
    : socket_(socket), stream_(std::move(stream)) {}

common::Outcome<> TlsChannel::Handshake(Deadline deadline) {
    for (;;) {
        const tls::Step step = stream_->Handshake();
        if (step == tls::Step::kDone) return common::Done{};
        if (step == tls::Step::kRefused)
            return common::Failure{common::FailureKind::kTlsRefused, stream_->Failure()};
        const short event = step == tls::Step::kWantRead ? net::kPollReadable : net::kPollWritable;
        if (WaitForSocket(socket_, event, deadline, kResultReceiveError) < 0) {
            return common::Failure{common::FailureKind::kTlsRefused,
                                   "TLS handshake not finished in time"};
        }
    }
}

template <typename Move>
int TlsChannel::Some(Move move, Deadline deadline, int failed) {
    for (;;) {
        const tls::Io io = move();
        switch (io.kind) {
            case tls::Io::Kind::kMoved:
                return static_cast<int>(io.bytes);
            case tls::Io::Kind::kClosed:
                return kResultConnectionReset;
            case tls::Io::Kind::kFailed:
                return failed;
            case tls::Io::Kind::kWantRead:
            case tls::Io::Kind::kWantWrite:
                break;
        }
        const short event =
            io.kind == tls::Io::Kind::kWantRead ? net::kPollReadable : net::kPollWritable;
        const int waited = WaitForSocket(socket_, event, deadline, failed);
        if (waited < 0) return waited;
    }
}

int TlsChannel::SendSome(const std::uint8_t* data, std::size_t size, Deadline deadline) {
    return Some([&] { return stream_->Write(data, size); }, deadline, kResultSendError);
}

int TlsChannel::ReceiveSome(std::uint8_t* data, std::size_t size, Deadline deadline) {
    return Some([&] { return stream_->Read(data, size); }, deadline, kResultReceiveError);
}

}  // namespace vr620
