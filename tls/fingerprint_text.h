// A certificate's SHA-256 fingerprint as people copy it between computers: 32 colon-separated
// pairs of hexadecimal digits, as `openssl x509 -noout -fingerprint -sha256` prints its value.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tls {

inline constexpr std::size_t kFingerprintBytes = 32;

// "AB:01:...": upper-case pairs joined by colons.
std::string FormatFingerprint(std::span<const std::uint8_t> digest);

// One line of a trust file in its canonical form (upper case), nothing for a line that holds no
// fingerprint, or an error for a line that is not one. Blanks around it, a `#` comment and the
// prefix "sha256 Fingerprint=" (any case) are allowed; the digits may be of either case.
struct TrustLine {
    std::optional<std::string> fingerprint;
    bool broken = false;
};
TrustLine ParseTrustLine(std::string_view line);

}  // namespace tls
