// Inside the OpenSSL build only: what a context holds, and what its streams share with it.
#pragma once

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

#include "outcome.h"
#include "tls_context.h"
#include "trust_file.h"

namespace tls {

// Larger files are no keys or certificates of ours (and a memory BIO takes an int's size).
inline constexpr std::size_t kMaxPemSize = 1 << 20;

// What the check of the peer's certificate found; a stream keeps one as its SSL's app data.
struct PeerCheck {
    std::string fingerprint;
    bool refused = false;
};

class OpenSslContext final : public Context {
  public:
    OpenSslContext(Role role, SSL_CTX* ctx) : role(role), ctx(ctx) {}
    ~OpenSslContext() override { SSL_CTX_free(ctx); }
    OpenSslContext(const OpenSslContext&) = delete;
    OpenSslContext& operator=(const OpenSslContext&) = delete;

    const Role role;
    SSL_CTX* const ctx;
    std::unique_ptr<TrustFile> trust;  // none without a trust file
    bool trustsCa = false;
};

// The failures of making keys, contexts and streams: files that cannot be used, OpenSSL out of
// memory. None of them is a peer's refusal.
inline common::Failure OtherFailure(std::string words) {
    return {common::FailureKind::kOther, std::move(words)};
}

// The fingerprint of a certificate, or the empty text.
std::string FingerprintOf(X509* certificate);
// The reason of the newest error in OpenSSL's queue of this thread, which is emptied; `fallback`
// when there is none.
std::string TakeOpenSslError(const std::string& fallback);

}  // namespace tls
