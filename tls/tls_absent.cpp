// The build without TLS (Windows, where the build has no OpenSSL): every use says so.
#include "key_files.h"
#include "tls_context.h"
#include "tls_stream.h"

namespace tls {
namespace {

common::Failure Absent() {
    return {common::FailureKind::kOther, "TLS is not part of this build (Windows)"};
}

}  // namespace

bool Available() {
    return false;
}

common::Outcome<std::unique_ptr<Context>> MakeContext(Role, const Settings&, Notice) {
    return Absent();
}

common::Outcome<std::unique_ptr<Stream>> AcceptStream(Context&, int) {
    return Absent();
}

common::Outcome<std::unique_ptr<Stream>> ConnectStream(Context&, int) {
    return Absent();
}

common::Outcome<MadeKey> MakeKeyFiles(const std::string&) {
    return Absent();
}

common::Outcome<std::string> CertificateFingerprint(const std::string&) {
    return Absent();
}

}  // namespace tls
