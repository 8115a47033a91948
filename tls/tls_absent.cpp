// The build without TLS (Windows, where the build has no OpenSSL): every use says so.
#include "key_files.h"
#include "tls_context.h"
#include "tls_stream.h"

namespace tls {
namespace {

constexpr const char* kAbsent = "TLS is not part of this build (Windows)";

}  // namespace

bool Available() {
    return false;
}

std::unique_ptr<Context> MakeContext(Role, const Settings&, Notice, std::string& error) {
    error = kAbsent;
    return nullptr;
}

std::unique_ptr<Stream> AcceptStream(Context&, int, std::string& error) {
    error = kAbsent;
    return nullptr;
}

std::unique_ptr<Stream> ConnectStream(Context&, int, std::string& error) {
    error = kAbsent;
    return nullptr;
}

std::optional<MadeKey> MakeKeyFiles(const std::string&, std::string& error) {
    error = kAbsent;
    return std::nullopt;
}

std::optional<std::string> CertificateFingerprint(const std::string&, std::string& error) {
    error = kAbsent;
    return std::nullopt;
}

}  // namespace tls
