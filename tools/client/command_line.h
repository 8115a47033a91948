// The vr620 tool's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "message_format.h"
#include "outcome.h"
#include "tls_context.h"

namespace vr620 {

enum class Action {
    kRead,
    kWrite,
    kConnect,
    kDisconnect,
    kBench,
    kTlsMakeKey,
    kTlsFingerprint,
    kHelp
};

struct CommandLine {
    std::string host = "localhost";
    int port = gateway::kDefaultPort;
    int timeoutSeconds = 60;
    Action action = Action::kHelp;
    std::uint16_t point = 0x0001;  // the data point (the gateway's SNVT number)
    std::vector<std::uint8_t> value;
    int clients = 1;
    int requests = 10;
    int seconds = 0;         // bench: 0 counts requests instead
    bool ownPoints = false;  // bench: connection i reads point + i
    // With a certificate: TLS to the gateway.
    tls::Settings tls;
    // The folder of tls-make-key, the certificate of tls-fingerprint.
    std::string file;
};

// A data point: decimal, or hexadecimal with 0x; 0 to 65535.
std::optional<std::uint16_t> ParsePoint(const std::string& text);
// Pairs of hexadecimal digits, optionally separated by blanks, ':' or '-' ("1234", "12 34").
std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text);
std::string FormatHexBytes(const std::vector<std::uint8_t>& bytes);

// The command line, or what is wrong with it in words.
common::Outcome<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments);
std::string UsageText();

}  // namespace vr620
