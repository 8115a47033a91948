#include "tls_commands.h"

#include "key_commands.h"

namespace gatewayd {

std::optional<int> RunTlsCommand(const Options& options) {
    constexpr const char* kProgram = "vr620-gatewayd";
    if (!options.tlsMakeKeyFolder.empty())
        return tls::RunMakeKey(kProgram, options.tlsMakeKeyFolder) ? 0 : 1;
    if (!options.tlsFingerprintFile.empty())
        return tls::RunFingerprint(kProgram, options.tlsFingerprintFile) ? 0 : 1;
    return std::nullopt;
}

}  // namespace gatewayd
