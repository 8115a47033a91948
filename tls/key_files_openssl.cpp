#include <fcntl.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>

#include "file_io.h"
#include "key_files.h"
#include "openssl_context.h"
#include "system_error.h"
#include "write_all.h"

namespace tls {
namespace {

constexpr long kValidDays = 3653;  // ten years, leap days included

struct Freed {
    void operator()(X509* x) const { X509_free(x); }
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(BIO* bio) const { BIO_free(bio); }
    void operator()(BIGNUM* bn) const { BN_free(bn); }
    void operator()(X509_EXTENSION* ext) const { X509_EXTENSION_free(ext); }
};
template <typename T>
using Owned = std::unique_ptr<T, Freed>;

bool AddExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, certificate, certificate, nullptr, nullptr, 0);
    Owned<X509_EXTENSION> extension(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

// Self-signed, named after this computer so that a person can tell the certificates apart.
Owned<X509> SelfSigned(EVP_PKEY* key) {
    Owned<X509> certificate(X509_new());
    Owned<BIGNUM> serial(BN_new());
    if (!certificate || !serial) return nullptr;
    char host[256] = "";
    gethostname(host, sizeof host - 1);
    const std::string name = std::string("vr620 ") + (host[0] != '\0' ? host : "key");
    X509_NAME* subject = X509_get_subject_name(certificate.get());
    const bool made =
        X509_set_version(certificate.get(), X509_VERSION_3) == 1 &&
        BN_rand(serial.get(), 127, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1 &&
        BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate.get())) != nullptr &&
        X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0) != nullptr &&
        X509_time_adj_ex(X509_getm_notAfter(certificate.get()), kValidDays, 0, nullptr) !=
            nullptr &&
        X509_set_pubkey(certificate.get(), key) == 1 &&
        X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(name.c_str()), -1, -1,
                                   0) == 1 &&
        X509_set_issuer_name(certificate.get(), subject) == 1 &&
        AddExtension(certificate.get(), NID_basic_constraints, "critical,CA:FALSE") &&
        AddExtension(certificate.get(), NID_key_usage, "critical,digitalSignature") &&
        AddExtension(certificate.get(), NID_ext_key_usage, "serverAuth,clientAuth") &&
        AddExtension(certificate.get(), NID_subject_key_identifier, "hash") &&
        X509_sign(certificate.get(), key, EVP_sha256()) > 0;
    return made ? std::move(certificate) : nullptr;
}

// The PEM text that `write` puts into a memory BIO.
template <typename Write>
std::optional<std::string> Pem(Write write) {
    Owned<BIO> bio(BIO_new(BIO_s_mem()));
    if (!bio || !write(bio.get())) return std::nullopt;
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

// A new file (never one that is there already) with `text`, flushed to disk.
common::Outcome<> WriteNewFile(const std::string& file, const std::string& text, mode_t mode) {
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0) {
        return OtherFailure(errno == EEXIST
                                ? file + " exists already; move it away to make a new key"
                                : file + " cannot be made: " + common::SystemErrorText(errno));
    }
    // The mode as asked, whatever the umask.
    const bool written = fchmod(fd, mode) == 0 && posix::WriteAll(fd, text) && fsync(fd) == 0;
    const int why = errno;
    close(fd);
    if (!written) {
        unlink(file.c_str());
        return OtherFailure(file + " cannot be written: " + common::SystemErrorText(why));
    }
    return common::Done{};
}

}  // namespace

common::Outcome<MadeKey> MakeKeyFiles(const std::string& folder) {
    ERR_clear_error();
    MadeKey made{(std::filesystem::path(folder) / "key.pem").string(),
                 (std::filesystem::path(folder) / "cert.pem").string(),
                 {}};
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return OtherFailure("folder " + folder + " cannot be made: " + ec.message());
    for (const std::string& file : {made.keyFile, made.certificateFile}) {
        struct stat st {};
        if (lstat(file.c_str(), &st) == 0)
            return OtherFailure(file + " exists already; move it away to make a new key");
    }
    Owned<EVP_PKEY> key(EVP_EC_gen("P-256"));
    Owned<X509> certificate = key ? SelfSigned(key.get()) : nullptr;
    const auto keyPem = certificate ? Pem([&](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    })
                                    : std::nullopt;
    const auto certificatePem =
        certificate ? Pem([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate.get()) == 1; })
                    : std::nullopt;
    if (!keyPem || !certificatePem)
        return OtherFailure("the key cannot be made: " + TakeOpenSslError("out of memory"));
    made.fingerprint = FingerprintOf(certificate.get());
    if (auto written = WriteNewFile(made.keyFile, *keyPem, 0600); !written.Ok())
        return written.Why();
    if (auto written = WriteNewFile(made.certificateFile, *certificatePem, 0644); !written.Ok()) {
        unlink(made.keyFile.c_str());
        return written.Why();
    }
    return made;
}

common::Outcome<std::string> CertificateFingerprint(const std::string& file) {
    ERR_clear_error();
    const auto text = common::ReadRegularFile(file);
    if (!text)
        return OtherFailure(
            file + " cannot be read: " + common::SystemErrorText(common::LastSystemError()));
    if (text->size() > kMaxPemSize) return OtherFailure(file + " is too large for a certificate");
    Owned<BIO> bio(BIO_new_mem_buf(text->data(), static_cast<int>(text->size())));
    Owned<X509> certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)
                                : nullptr);
    if (!certificate) {
        ERR_clear_error();
        return OtherFailure(file + " holds no PEM certificate");
    }
    return FingerprintOf(certificate.get());
}

}  // namespace tls
