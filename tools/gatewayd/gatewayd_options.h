// The headless gateway's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "gateway.h"
#include "outcome.h"
#include "tls_context.h"

namespace gatewayd {

struct Options {
    int port = gateway::kDefaultPort;
    int com = 1;                              // COM1 to COM255
    gateway::IpAddress bindAddress;           // "::": every interface of both families
    bool bindGiven = false;                   // without it a relay listens on loopback alone
    std::vector<gateway::IpNetwork> allowed;  // empty: everybody
    int idleTimeoutSeconds = 0;               // 0: never
    bool coalesce = true;                     // reads of one point may share a transaction
    int releaseAfterSeconds = 60;             // 0: a device nobody holds stays open
    bool useModem = false;
    // As the user writes them, with the "\r" and "\n" escapes.
    std::string initText;
    std::string dialText;
    std::string hangupText;
    // A TLS port beside the plain one, with this gateway's certificate, key and trust; with
    // tlsOnly the plain port serves this computer alone.
    std::optional<int> tlsPort;
    tls::Settings tls;
    bool tlsOnly = false;
    // A relay instead of a device: every request goes on to the gateway at this host and TLS
    // port, over TLS with the files of `tls`. An empty host: a gateway with a device.
    std::string upstreamHost;
    int upstreamPort = 0;
    // Commands that do their work and end: make a key in this folder, print the fingerprint of
    // this certificate.
    std::string tlsMakeKeyFolder;
    std::string tlsFingerprintFile;
    bool help = false;
    // Run by the Windows service control manager; the connection log's file (empty: none, or
    // a Windows service's own).
    bool service = false;
    std::string logFile;
};

// The options, or what is wrong with them in words.
common::Outcome<Options> ParseOptions(const std::vector<std::string>& arguments);

std::string UsageText();

// The server configuration the options ask for (a relay's runner is the caller's to add).
gateway::ServerConfig ServerConfigOf(const Options& options);

}  // namespace gatewayd
