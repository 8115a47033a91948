#include <openssl/err.h>
#include <sys/socket.h>

#include <cerrno>

#include "openssl_context.h"
#include "system_error.h"
#include "tls_stream.h"

namespace tls {
namespace {

// The record type and major version a TLS handshake begins with.
constexpr unsigned char kHandshakeRecord = 0x16;
constexpr unsigned char kMajorVersion = 0x03;

// A socket BIO whose writes never raise SIGPIPE (OpenSSL's own uses write()), so that a peer that
// has gone is an error of its connection, whichever program hosts the gateway.
int SocketOf(BIO* bio) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

int BioWrite(BIO* bio, const char* data, int size) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = send(SocketOf(bio), data, static_cast<std::size_t>(size), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(bio);
    return static_cast<int>(n);
}

int BioRead(BIO* bio, char* data, int size) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = recv(SocketOf(bio), data, static_cast<std::size_t>(size), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(bio);
    return static_cast<int>(n);
}

long BioControl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

const BIO_METHOD* SocketMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "vr620 socket");
        if (m != nullptr) {
            BIO_meth_set_write(m, BioWrite);
            BIO_meth_set_read(m, BioRead);
            BIO_meth_set_ctrl(m, BioControl);
        }
        return m;
    }();
    return method;
}

class OpenSslStream final : public Stream {
  public:
    OpenSslStream(SSL* ssl, int socket, bool accepting)
        : ssl_(ssl), socket_(socket), peeking_(accepting) {
        SSL_set_app_data(ssl_, &check_);
    }
    ~OpenSslStream() override {
        // One try at close_notify, never waiting; not after a fatal error.
        if (established_ && !failed_) {
            ERR_clear_error();
            SSL_shutdown(ssl_);
            ERR_clear_error();
        }
        SSL_free(ssl_);
    }
    OpenSslStream(const OpenSslStream&) = delete;
    OpenSslStream& operator=(const OpenSslStream&) = delete;

    Step Handshake() override {
        if (established_) return Step::kDone;
        if (failed_) return Step::kRefused;
        if (peeking_) {
            const Step looked = LookAtFirstBytes();
            if (looked != Step::kDone) return looked;
            peeking_ = false;
        }
        ERR_clear_error();
        errno = 0;
        const int result = SSL_do_handshake(ssl_);
        if (result == 1) {
            established_ = true;
            if (check_.fingerprint.empty()) {
                if (X509* peer = SSL_get0_peer_certificate(ssl_))
                    check_.fingerprint = FingerprintOf(peer);
            }
            return Step::kDone;
        }
        const int error = SSL_get_error(ssl_, result);
        if (error == SSL_ERROR_WANT_READ) return Step::kWantRead;
        if (error == SSL_ERROR_WANT_WRITE) return Step::kWantWrite;
        return Refuse(RefusalOf(error));
    }

    Io Read(void* data, std::size_t size) override {
        ERR_clear_error();
        errno = 0;
        std::size_t got = 0;
        if (SSL_read_ex(ssl_, data, size, &got) == 1) return {Io::Kind::kMoved, got};
        return Outcome(SSL_get_error(ssl_, 0));
    }

    Io Write(const void* data, std::size_t size) override {
        ERR_clear_error();
        errno = 0;
        std::size_t sent = 0;
        if (SSL_write_ex(ssl_, data, size, &sent) == 1) return {Io::Kind::kMoved, sent};
        return Outcome(SSL_get_error(ssl_, 0));
    }

    // Decrypted bytes only: a record that has come in part must wait for a poll, not spin.
    bool Pending() const override { return SSL_pending(ssl_) > 0; }
    const std::string& Failure() const override { return failure_; }
    const std::string& PeerFingerprint() const override { return check_.fingerprint; }

  private:
    // A TLS client speaks first, with a handshake record: anything else is refused before
    // OpenSSL sees it. A lone first byte that may begin one goes on to OpenSSL, so that nothing
    // waits on bytes that stay in the socket.
    Step LookAtFirstBytes() {
        unsigned char first[2] = {};
        ssize_t n;
        do {
            n = recv(socket_, first, sizeof first, MSG_PEEK | MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Step::kWantRead;
        if (n < 0) return Refuse(Failed(common::SystemErrorText(errno)));
        if (n == 0) return Refuse(Failed("connection closed"));
        if (first[0] != kHandshakeRecord || (n == 2 && first[1] != kMajorVersion))
            return Refuse(std::string(kNotTls));
        return Step::kDone;
    }

    static std::string Failed(const std::string& why) {
        return "TLS handshake failed (" + why + ")";
    }

    Step Refuse(std::string reason) {
        failed_ = true;
        failure_ = std::move(reason);
        return Step::kRefused;
    }

    std::string RefusalOf(int error) {
        const int systemError = errno;
        const unsigned long code = ERR_peek_last_error();
        if (check_.refused) {
            ERR_clear_error();
            return NotTrusted(check_.fingerprint);
        }
        if (ERR_GET_LIB(code) == ERR_LIB_SSL &&
            ERR_GET_REASON(code) == SSL_R_PEER_DID_NOT_RETURN_A_CERTIFICATE) {
            ERR_clear_error();
            return std::string(kNoCertificate);
        }
        return Failed(FailureText(error, systemError));
    }

    Io Outcome(int error) {
        switch (error) {
            case SSL_ERROR_WANT_READ:
                return {Io::Kind::kWantRead, 0};
            case SSL_ERROR_WANT_WRITE:
                return {Io::Kind::kWantWrite, 0};
            case SSL_ERROR_ZERO_RETURN:
                return {Io::Kind::kClosed, 0};
            default: {
                const int systemError = errno;
                failed_ = true;
                failure_ = FailureText(error, systemError);
                const bool gone =
                    error == SSL_ERROR_SYSCALL &&
                    (systemError == 0 || systemError == ECONNRESET || systemError == EPIPE);
                return {gone ? Io::Kind::kClosed : Io::Kind::kFailed, 0};
            }
        }
    }

    static std::string FailureText(int error, int systemError) {
        if (error == SSL_ERROR_SYSCALL) {
            ERR_clear_error();
            return systemError == 0 ? "connection closed" : common::SystemErrorText(systemError);
        }
        if (error == SSL_ERROR_ZERO_RETURN) return "connection closed";
        return TakeOpenSslError("TLS protocol error");
    }

    SSL* const ssl_;
    const int socket_;
    bool peeking_;
    bool established_ = false;
    bool failed_ = false;
    PeerCheck check_;
    std::string failure_;
};

common::Outcome<std::unique_ptr<Stream>> MakeStream(Context& context, int socket, Role role) {
    auto& openssl = static_cast<OpenSslContext&>(context);
    if (openssl.role != role) return OtherFailure("TLS context of the wrong side");
    ERR_clear_error();
    const BIO_METHOD* method = SocketMethod();
    SSL* ssl = method != nullptr ? SSL_new(openssl.ctx) : nullptr;
    BIO* bio = ssl != nullptr ? BIO_new(method) : nullptr;
    if (bio == nullptr) {
        SSL_free(ssl);
        return OtherFailure("TLS connection cannot be set up: " +
                            TakeOpenSslError("out of memory"));
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(socket)));
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl, bio, bio);
    if (role == Role::kServer) {
        SSL_set_accept_state(ssl);
    } else {
        SSL_set_connect_state(ssl);
    }
    return std::unique_ptr<Stream>(
        std::make_unique<OpenSslStream>(ssl, socket, role == Role::kServer));
}

}  // namespace

common::Outcome<std::unique_ptr<Stream>> AcceptStream(Context& context, int socket) {
    return MakeStream(context, socket, Role::kServer);
}

common::Outcome<std::unique_ptr<Stream>> ConnectStream(Context& context, int socket) {
    return MakeStream(context, socket, Role::kClient);
}

}  // namespace tls
