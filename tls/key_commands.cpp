#include "key_commands.h"

#include <cstdio>

#include "key_files.h"

namespace tls {

bool RunMakeKey(const std::string& program, const std::string& folder) {
    std::string error;
    const auto made = MakeKeyFiles(folder, error);
    if (!made) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return false;
    }
    // The fingerprint last and alone on its line, for the other side's trust file.
    std::printf(
        "Made %s (the private key: it stays on this computer) and %s.\n"
        "The certificate's SHA-256 fingerprint, for the trust file of the other side:\n%s\n",
        made->keyFile.c_str(), made->certificateFile.c_str(), made->fingerprint.c_str());
    return true;
}

bool RunFingerprint(const std::string& program, const std::string& file) {
    std::string error;
    const auto fingerprint = CertificateFingerprint(file, error);
    if (!fingerprint) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return false;
    }
    std::printf("%s\n", fingerprint->c_str());
    return true;
}

}  // namespace tls
