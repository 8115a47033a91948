#include "fingerprint_text.h"

#include <cctype>

namespace tls {
namespace {

constexpr std::string_view kPrefix = "sha256 fingerprint=";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

std::string FormatFingerprint(std::span<const std::uint8_t> digest) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        if (i > 0) text += ':';
        text += kDigits[digest[i] >> 4];
        text += kDigits[digest[i] & 0x0F];
    }
    return text;
}

TrustLine ParseTrustLine(std::string_view line) {
    line = Trimmed(line.substr(0, line.find('#')));
    if (line.empty()) return {};
    if (StartsWithIgnoringCase(line, kPrefix)) line = Trimmed(line.substr(kPrefix.size()));
    // Exactly "XX:XX:...:XX".
    if (line.size() != kFingerprintBytes * 3 - 1) return {std::nullopt, true};
    std::string canonical;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (i % 3 == 2) {
            if (c != ':') return {std::nullopt, true};
            canonical += c;
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) return {std::nullopt, true};
        canonical += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return {canonical, false};
}

}  // namespace tls
