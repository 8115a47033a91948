#include "key_commands.h"

#include <cstdio>

#include "key_files.h"

namespace tls {

bool RunMakeKey(const std::string& program, const std::string& folder) {
    const auto made = MakeKeyFiles(folder);
    if (!made.Ok()) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), made.Why().words.c_str());
        return false;
    }
    // The fingerprint last and alone on its line, for the other side's trust file.
    std::printf(
        "Made %s (the private key: it stays on this computer) and %s.\n"
        "The certificate's SHA-256 fingerprint, for the trust file of the other side:\n%s\n",
        made.Value().keyFile.c_str(), made.Value().certificateFile.c_str(),
        made.Value().fingerprint.c_str());
    return true;
}

bool RunFingerprint(const std::string& program, const std::string& file) {
    const auto fingerprint = CertificateFingerprint(file);
    if (!fingerprint.Ok()) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), fingerprint.Why().words.c_str());
        return false;
    }
    std::printf("%s\n", fingerprint.Value().c_str());
    return true;
}

}  // namespace tls
