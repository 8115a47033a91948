#include "port_settings.h"

#include <cctype>
#include <climits>
#include <cstdio>

#include "extract_field.h"

namespace ducta {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Optional blanks and sign, then the leading decimal digits; no digits give 0.
long LeadingNumber(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long long n = 0;
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
        n = n * 10 + (s[i] - '0');
        if (n > INT_MAX) n = INT_MAX;  // saturate: far beyond any line setting
    }
    return static_cast<long>(negative ? -n : n);
}

char ParityLetter(const std::string& field) {
    for (char c : field) {
        if (IsBlank(c)) continue;
        switch (std::tolower(static_cast<unsigned char>(c))) {
            case 'e':
                return 'e';
            case 'o':
                return 'o';
            case 'm':
                return 'm';
            case 's':
                return 's';
            default:
                return 'n';
        }
    }
    return 'n';
}

std::optional<long> StrictNumber(const std::string& s) {
    if (s.empty() || s.size() > 9) return std::nullopt;
    long n = 0;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

PortSettings ParseSettingsText(const char* text) {
    PortSettings s;
    if (auto f = ExtractField(',', 0, text)) s.port = LeadingNumber(*f);
    if (auto f = ExtractField(',', 1, text)) s.baud = LeadingNumber(*f);
    if (auto f = ExtractField(',', 2, text)) s.parity = ParityLetter(*f);
    if (auto f = ExtractField(',', 3, text)) s.dataBits = LeadingNumber(*f);
    if (auto f = ExtractField(',', 4, text)) s.stopBits = LeadingNumber(*f);
    return s;
}

std::string FormatBuildString(const PortSettings& settings) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "baud=%ld parity=%c data=%ld stop=%ld", settings.baud,
                  settings.parity, settings.dataBits, settings.stopBits);
    return buffer;
}

std::optional<LineSettings> ParseBuildString(const std::string& text) {
    LineSettings line;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        if (pos >= text.size()) break;
        std::size_t end = pos;
        while (end < text.size() && !IsBlank(text[end])) ++end;
        const std::string token = text.substr(pos, end - pos);
        pos = end;
        const std::size_t eq = token.find('=');
        if (eq == std::string::npos) return std::nullopt;
        const std::string key = Lower(token.substr(0, eq));
        const std::string value = Lower(token.substr(eq + 1));
        if (key == "baud") {
            auto n = StrictNumber(value);
            if (!n) return std::nullopt;
            line.baud = *n;
        } else if (key == "parity") {
            if (value == "n")
                line.parity = Parity::kNone;
            else if (value == "o")
                line.parity = Parity::kOdd;
            else if (value == "e")
                line.parity = Parity::kEven;
            else if (value == "m")
                line.parity = Parity::kMark;
            else if (value == "s")
                line.parity = Parity::kSpace;
            else
                return std::nullopt;
        } else if (key == "data") {
            auto n = StrictNumber(value);
            if (!n || *n < 5 || *n > 8) return std::nullopt;
            line.dataBits = static_cast<int>(*n);
        } else if (key == "stop") {
            if (value != "1" && value != "2") return std::nullopt;
            line.stopBits = value == "1" ? 1 : 2;
        } else {
            return std::nullopt;
        }
    }
    return line;
}

}  // namespace ducta
