#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include "file_io.h"
#include "fingerprint_text.h"
#include "openssl_context.h"
#include "system_error.h"

namespace tls {
namespace {

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct X509Free {
    void operator()(X509* x) const { X509_free(x); }
};
struct PkeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};

// Never asks for a pass phrase: the gateway runs unattended, and a prompt would wait forever.
int NoPassPhrase(char*, int, int, void*) {
    return 0;
}

// The whole file, or an error that names it.
common::Outcome<std::string> ReadPemFile(const std::string& what, const std::string& file) {
    auto text = common::ReadRegularFile(file);
    if (!text) {
        return OtherFailure(what + " " + file + " cannot be read: " +
                            common::SystemErrorText(common::LastSystemError()));
    }
    if (text->size() > kMaxPemSize) return OtherFailure(what + " " + file + " is too large");
    return std::move(*text);
}

std::unique_ptr<BIO, BioFree> MemoryBio(const std::string& text) {
    return std::unique_ptr<BIO, BioFree>(
        BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
}

common::Outcome<> UseCertificateAndKey(SSL_CTX* ctx, const Settings& settings) {
    const auto certificates = ReadPemFile("TLS certificate", settings.certificate);
    if (!certificates.Ok()) return certificates.Why();
    auto bio = MemoryBio(certificates.Value());
    std::unique_ptr<X509, X509Free> leaf(
        PEM_read_bio_X509(bio.get(), nullptr, NoPassPhrase, nullptr));
    if (!leaf || SSL_CTX_use_certificate(ctx, leaf.get()) != 1) {
        return OtherFailure("TLS certificate " + settings.certificate +
                            " cannot be used: " + TakeOpenSslError("no PEM certificate in it"));
    }
    // Any further certificates are its chain.
    while (X509* next = PEM_read_bio_X509(bio.get(), nullptr, NoPassPhrase, nullptr)) {
        if (SSL_CTX_add0_chain_cert(ctx, next) != 1) X509_free(next);
    }
    ERR_clear_error();  // the end of the file

    const auto keyText = ReadPemFile("TLS key", settings.key);
    if (!keyText.Ok()) return keyText.Why();
    auto keyBio = MemoryBio(keyText.Value());
    std::unique_ptr<EVP_PKEY, PkeyFree> key(
        PEM_read_bio_PrivateKey(keyBio.get(), nullptr, NoPassPhrase, nullptr));
    if (!key) {
        ERR_clear_error();
        return OtherFailure(
            "TLS key " + settings.key +
            " cannot be used: no PEM private key in it (an encrypted key is not taken)");
    }
    if (SSL_CTX_use_PrivateKey(ctx, key.get()) != 1 || SSL_CTX_check_private_key(ctx) != 1) {
        return OtherFailure("TLS key " + settings.key + " does not belong to the certificate " +
                            settings.certificate + ": " + TakeOpenSslError("a different key"));
    }
    return common::Done{};
}

// Replaces OpenSSL's own check of the peer's chain: a self-signed certificate is trusted by its
// fingerprint, any other through the CA, when one is given.
int CheckPeer(X509_STORE_CTX* store, void* arg) {
    auto* context = static_cast<OpenSslContext*>(arg);
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* check = ssl != nullptr ? static_cast<PeerCheck*>(SSL_get_app_data(ssl)) : nullptr;
    X509* leaf = X509_STORE_CTX_get0_cert(store);
    const std::string fingerprint = leaf != nullptr ? FingerprintOf(leaf) : std::string();
    if (check != nullptr) check->fingerprint = fingerprint;
    if (!fingerprint.empty() && context->trust && context->trust->Trusts(fingerprint)) {
        X509_STORE_CTX_set_error(store, X509_V_OK);
        return 1;
    }
    if (context->trustsCa && X509_verify_cert(store) == 1) return 1;
    ERR_clear_error();
    if (check != nullptr) check->refused = true;
    X509_STORE_CTX_set_error(store, X509_V_ERR_CERT_UNTRUSTED);
    return 0;
}

}  // namespace

bool Available() {
    return true;
}

std::string FingerprintOf(X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &size) != 1) return {};
    return FormatFingerprint({digest, size});
}

std::string TakeOpenSslError(const std::string& fallback) {
    unsigned long newest = 0;
    while (const unsigned long code = ERR_get_error()) newest = code;
    if (newest == 0) return fallback;
    const char* reason = ERR_reason_error_string(newest);
    if (reason != nullptr) return reason;
    char text[256];
    ERR_error_string_n(newest, text, sizeof text);
    return text;
}

common::Outcome<std::unique_ptr<Context>> MakeContext(Role role, const Settings& settings,
                                                      Notice notice) {
    ERR_clear_error();
    if (settings.trust.empty() && settings.trustCa.empty())
        return OtherFailure("TLS needs a trust file of fingerprints, or a CA, to trust anybody");
    SSL_CTX* ctx = SSL_CTX_new(role == Role::kServer ? TLS_server_method() : TLS_client_method());
    if (ctx == nullptr)
        return OtherFailure("TLS cannot be set up: " + TakeOpenSslError("out of memory"));
    auto context = std::make_unique<OpenSslContext>(role, ctx);
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    // No renegotiation; a peer's close without close_notify is a close (every message carries
    // its own length, so nothing can be cut off unnoticed); partial writes as on a socket.
    SSL_CTX_set_options(ctx, SSL_OP_NO_RENEGOTIATION | SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Every connection is checked against the trust file as it is now: no resumed sessions.
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
    SSL_CTX_set_num_tickets(ctx, 0);
    SSL_CTX_set_options(ctx, SSL_OP_NO_TICKET);
    if (auto used = UseCertificateAndKey(ctx, settings); !used.Ok()) return used.Why();
    if (!settings.trust.empty()) {
        context->trust = std::make_unique<TrustFile>(settings.trust, std::move(notice));
        if (auto loaded = context->trust->Load(); !loaded.Ok()) return loaded.Why();
    }
    if (!settings.trustCa.empty()) {
        if (auto read = ReadPemFile("TLS CA", settings.trustCa); !read.Ok()) return read.Why();
        if (SSL_CTX_load_verify_file(ctx, settings.trustCa.c_str()) != 1) {
            return OtherFailure("TLS CA " + settings.trustCa +
                                " cannot be used: " + TakeOpenSslError("no PEM certificate in it"));
        }
        context->trustsCa = true;
    }
    const int verify =
        role == Role::kServer ? SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT : SSL_VERIFY_PEER;
    SSL_CTX_set_verify(ctx, verify, nullptr);
    SSL_CTX_set_cert_verify_callback(ctx, CheckPeer, context.get());
    return std::unique_ptr<Context>(std::move(context));
}

}  // namespace tls
