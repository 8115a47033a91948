#include "command_line.h"

#include <cctype>
#include <utility>

#include "whole_number.h"

namespace vr620 {
namespace {

common::Failure Mistake(std::string words) {
    return {common::FailureKind::kOther, std::move(words)};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::optional<std::uint16_t> ParsePoint(const std::string& text) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    auto value = hex ? common::ParseWholeNumber(std::string_view(text).substr(2), 0, 0xFFFF, 16)
                     : common::ParseWholeNumber(text, 0, 0xFFFF);
    if (!value) return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == '-') {
            if (high >= 0) return std::nullopt;  // a lone digit before a separator
            continue;
        }
        int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0) return std::nullopt;
    return bytes;
}

std::string FormatHexBytes(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) out += ' ';
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0x0F];
    }
    return out;
}

std::string UsageText() {
    return "Usage: vr620 [--host H] [--port P] [--timeout SECONDS]\n"
           "             [--tls-cert FILE --tls-key FILE --tls-trust FILE] COMMAND\n"
           "Talks to the VR-620 gateway (the manager or vr620-gatewayd).\n"
           "Commands:\n"
           "  read POINT            connect the device, read data point POINT, disconnect;\n"
           "                        prints the value in hexadecimal\n"
           "  write POINT HEXBYTES  connect, write the value (e.g. 1234 or \"12 34\"), disconnect\n"
           "  connect               DEVICE_CONNECT only (the gateway keeps the device open)\n"
           "  disconnect            DEVICE_DISCONNECT only\n"
           "  bench [--clients N] [--requests M | --seconds S] [--own-points] [POINT]\n"
           "                        N connections (default 1) reading POINT (default 0x0001)\n"
           "                        M times each (default 10), or for S seconds, all at once;\n"
           "                        with --own-points connection i reads POINT + i;\n"
           "                        prints throughput and latency percentiles\n"
           "  tls-make-key DIR      make a key and a self-signed certificate (ECDSA P-256,\n"
           "                        10 years) as DIR/key.pem (mode 0600) and DIR/cert.pem and\n"
           "                        print its SHA-256 fingerprint, for the gateway's trust file\n"
           "  tls-fingerprint FILE  print the SHA-256 fingerprint of the certificate in FILE\n"
           "With --tls-cert, --tls-key and --tls-trust it speaks TLS to the gateway's TLS port:\n"
           "it presents that certificate (and key) and trusts the gateway only when the\n"
           "fingerprint of the gateway's certificate is in the trust file (one a line).\n"
           "POINT is decimal or hexadecimal with 0x. H is a name or an IPv4 or IPv6 address.\n"
           "Defaults: --host localhost --port " +
           std::to_string(gateway::kDefaultPort) +
           " --timeout 60 (how long one request may take).\n"
           "Exit status: 0 OK, 1 the gateway answered ERROR, 2 the gateway cannot be reached or\n"
           "broke the connection (or a bad command line).\n";
}

common::Outcome<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--help" || a == "-h") {
            line.action = Action::kHelp;
            return line;
        }
        if (a == "--own-points") {
            line.ownPoints = true;
            continue;
        }
        bool takesValue = a == "--host" || a == "--port" || a == "--timeout" || a == "--clients" ||
                          a == "--requests" || a == "--seconds" || a == "--tls-cert" ||
                          a == "--tls-key" || a == "--tls-trust";
        if (!takesValue) {
            if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
                return Mistake("unknown option '" + a + "'");
            }
            words.push_back(a);
            continue;
        }
        if (i + 1 >= arguments.size()) {
            return Mistake("option " + a + " needs a value");
        }
        const std::string& v = arguments[++i];
        std::optional<int> number;
        if (a == "--host") {
            line.host = v;
            continue;
        }
        if (a.starts_with("--tls-")) {
            std::string& file = a == "--tls-cert"  ? line.tls.certificate
                                : a == "--tls-key" ? line.tls.key
                                                   : line.tls.trust;
            if (v.empty()) {
                return Mistake("option " + a + " needs a file name, not ''");
            }
            file = v;
            continue;
        }
        if (a == "--port") number = common::ParseWholeNumber(v, 1, 65535);
        if (a == "--timeout") number = common::ParseWholeNumber(v, 1, 3600);
        if (a == "--clients") number = common::ParseWholeNumber(v, 1, 1000);
        if (a == "--requests") number = common::ParseWholeNumber(v, 1, 10'000'000);
        if (a == "--seconds") number = common::ParseWholeNumber(v, 1, 86'400);
        if (!number) {
            return Mistake("bad value '" + v + "' for " + a);
        }
        if (a == "--port") line.port = *number;
        if (a == "--timeout") line.timeoutSeconds = *number;
        if (a == "--clients") line.clients = *number;
        if (a == "--requests") line.requests = *number;
        if (a == "--seconds") line.seconds = *number;
    }
    if (words.empty()) {
        return Mistake("no command given");
    }
    const std::string& command = words[0];
    std::size_t expected = 1;
    if (command == "read") {
        line.action = Action::kRead;
        expected = 2;
    } else if (command == "write") {
        line.action = Action::kWrite;
        expected = 3;
    } else if (command == "connect") {
        line.action = Action::kConnect;
    } else if (command == "disconnect") {
        line.action = Action::kDisconnect;
    } else if (command == "bench") {
        line.action = Action::kBench;
        expected = words.size() > 1 ? 2 : 1;
    } else if (command == "tls-make-key" || command == "tls-fingerprint") {
        line.action = command == "tls-make-key" ? Action::kTlsMakeKey : Action::kTlsFingerprint;
        if (words.size() != 2) {
            return Mistake("wrong number of arguments for '" + command + "'");
        }
        line.file = words[1];
    } else {
        return Mistake("unknown command '" + command + "'");
    }
    const bool tlsFiles =
        !line.tls.certificate.empty() || !line.tls.key.empty() || !line.tls.trust.empty();
    const bool tlsCommand =
        line.action == Action::kTlsMakeKey || line.action == Action::kTlsFingerprint;
    if ((tlsFiles || tlsCommand) && !tls::Available()) {
        return Mistake("TLS is not part of this build (Windows)");
    }
    if (tlsFiles &&
        (line.tls.certificate.empty() || line.tls.key.empty() || line.tls.trust.empty())) {
        return Mistake("TLS needs all of --tls-cert, --tls-key and --tls-trust");
    }
    if (tlsCommand) return line;
    if (words.size() != expected) {
        return Mistake("wrong number of arguments for '" + command + "'");
    }
    if (expected >= 2) {
        auto point = ParsePoint(words[1]);
        if (!point) {
            return Mistake("bad data point '" + words[1] +
                           "': give 0 to 65535 or 0x0000 to 0xFFFF");
        }
        line.point = *point;
    }
    if (line.action == Action::kWrite) {
        auto value = ParseHexBytes(words[2]);
        if (!value) {
            return Mistake("bad value '" + words[2] + "': give pairs of hexadecimal digits");
        }
        line.value = *value;
    }
    return line;
}

}  // namespace vr620
