#include "gatewayd_options.h"

#include <utility>

#include "modem_texts.h"
#include "whole_number.h"

namespace gatewayd {

std::string UsageText() {
    std::string text =
        "Usage: vr620-gatewayd [--port N] [--bind ADDRESS] [--allow NET[/BITS]]...\n"
        "                      [--idle-timeout SECONDS] [--release-after SECONDS]\n"
        "                      [--no-coalesce] [--com N]\n"
        "                      [--modem [--init TEXT] [--dial TEXT] [--hangup TEXT]]\n"
        "                      [--tls-port N --tls-cert FILE --tls-key FILE\n"
        "                       [--tls-trust FILE] [--tls-trust-ca FILE] [--tls-only]]\n"
        "                      [--log-file FILE] [--service]\n"
        "       vr620-gatewayd --upstream HOST:P --tls-cert FILE --tls-key FILE\n"
        "                      [--tls-trust FILE] [--tls-trust-ca FILE] [--port N]\n"
        "                      [--bind ADDRESS] [--allow NET[/BITS]]... [--idle-timeout SECONDS]\n"
        "                      [--log-file FILE] [--service]\n"
        "       vr620-gatewayd --tls-make-key DIR | --tls-fingerprint FILE | --help\n"
        "Serves the VR-620 controller on a serial port to the suite's client programs over\n"
        "TCP, without windows; or, with --upstream, relays them over TLS to a gateway that\n"
        "does. The connection log goes to standard output.\n"
        "  --port N       TCP port, 1 to 65535 (default " +
        std::to_string(gateway::kDefaultPort) +
        ")\n"
        "  --bind ADDRESS listen on this IPv4 or IPv6 address of the machine only (default:\n"
        "                 every interface of both families), e.g. 127.0.0.1 or ::1 to serve\n"
        "                 this computer alone\n"
        "  --allow NET[/BITS]\n"
        "                 serve only clients from this network: IPv4 with BITS 0 to 32, e.g.\n"
        "                 192.168.10.0/24 or 10.1.2.3, or IPv6 with BITS 0 to 128, e.g.\n"
        "                 fd00::/8 or ::1; repeat it for more networks (default: everybody).\n"
        "                 A client from elsewhere is closed at once, with a log line.\n"
        "  --idle-timeout SECONDS\n"
        "                 close a client that sends nothing for this long (default 0: never)\n"
        "  --release-after SECONDS\n"
        "                 close the device (a modem line hung up) when it is still held open\n"
        "                 this long after the last client went (default 60; 0: never)\n"
        "  --no-coalesce  give every read its own line transaction (by default, reads of one\n"
        "                 point that wait for the line together share one)\n"
        "  --com N        COM port number, 1 to 255 (default 1); its device path comes from\n"
        "                 [Ports] COM<N>= in DUCTA.INI beside the device library, else the\n"
        "                 system's own (/dev/ttyS<N-1> on Linux, \\\\.\\COM<N> on Windows)\n"
        "  --modem        reach the controller through a dial-up modem\n";
    const auto modemText = [&](const char* head, const char* defaultText) {
        text.append(head).append(" (default \"").append(defaultText).append("\")\n");
    };
    modemText("  --init TEXT    modem initialisation commands", modem_texts::kDefaultInit);
    modemText("  --dial TEXT    dial command", modem_texts::kDefaultDial);
    modemText("  --hangup TEXT  hang-up commands", modem_texts::kDefaultHangup);
    return text +
           "                 In TEXT, \\r is a carriage return and \\n a line feed; ';' separates\n"
           "                 commands.\n"
           "  --tls-port N   also serve clients over TLS on this port; a client is served only\n"
           "                 when its certificate is trusted (not on Windows)\n"
           "  --tls-cert FILE, --tls-key FILE\n"
           "                 this gateway's certificate and its private key (PEM)\n"
           "  --tls-trust FILE\n"
           "                 the trusted clients: SHA-256 fingerprints of their certificates, one\n"
           "                 a line (as vr620 tls-make-key prints it, '#' comments); read again\n"
           "                 when the file changes\n"
           "  --tls-trust-ca FILE\n"
           "                 trust clients whose certificate this CA (PEM) signed, too\n"
           "  --tls-only     the plain port listens on 127.0.0.1 and ::1 alone, for this\n"
           "                 computer's own programs\n"
           "  --upstream HOST:P\n"
           "                 no device: pass every request on to the gateway at HOST, TLS port\n"
           "                 P ([ADDRESS]:P for IPv6), over TLS with --tls-cert, --tls-key and\n"
           "                 --tls-trust (or --tls-trust-ca), one connection for each client;\n"
           "                 the port listens on 127.0.0.1 and ::1 alone unless --bind is given\n"
           "  --tls-make-key DIR\n"
           "                 make a key and a self-signed certificate (ECDSA P-256, 10 years) as\n"
           "                 DIR/key.pem (mode 0600) and DIR/cert.pem, print its fingerprint, end\n"
           "  --tls-fingerprint FILE\n"
           "                 print the SHA-256 fingerprint of the certificate in FILE, end\n"
           "  --log-file FILE\n"
           "                 the connection log into FILE too: appended, at 10 MB renamed to\n"
           "                 FILE.1 and begun anew (a Windows service's default:\n"
           "                 %ProgramData%\\VR620\\vr620-gatewayd.log, its only log)\n"
           "  --service      on Windows: run as a service; the service control manager starts\n"
           "                 it so (sc start vr620-gatewayd) and stops it in order. Nothing\n"
           "                 changes on Linux, where systemd is found by itself.\n"
           "SIGINT or SIGTERM (on Windows Ctrl-C, Ctrl-Break, or the console closing, log-off or\n"
           "shut-down) stops the gateway in order (device closed, a modem line hung up) and it\n"
           "exits 0. It exits 1 when the TCP port cannot be opened, a TLS file cannot be used\n"
           "or the gateway ends by itself, 2 on a bad option.\n";
}

namespace {

common::Failure Mistake(std::string words) {
    return {common::FailureKind::kOther, std::move(words)};
}

// Where the value of a TLS option that names a file or folder goes, or null.
std::string* TlsFile(Options& options, const std::string& option) {
    if (option == "--tls-cert") return &options.tls.certificate;
    if (option == "--tls-key") return &options.tls.key;
    if (option == "--tls-trust") return &options.tls.trust;
    if (option == "--tls-trust-ca") return &options.tls.trustCa;
    if (option == "--tls-make-key") return &options.tlsMakeKeyFolder;
    if (option == "--tls-fingerprint") return &options.tlsFingerprintFile;
    return nullptr;
}

// "HOST:P", "[ADDRESS]:P" for IPv6: the host and the port, or nothing.
std::optional<std::pair<std::string, int>> ParseEndpoint(const std::string& text) {
    std::string host;
    std::size_t colon = text.rfind(':');
    if (text.starts_with('[')) {
        const std::size_t close = text.find(']');
        if (close == std::string::npos || close + 1 != colon) return std::nullopt;
        host = text.substr(1, close - 1);
        if (!gateway::ParseIpAddress(host)) return std::nullopt;
    } else {
        // An IPv6 address without brackets cannot be told from its port.
        if (colon == std::string::npos || text.find(':') != colon) return std::nullopt;
        host = text.substr(0, colon);
    }
    const auto port = common::ParseWholeNumber(text.substr(colon + 1), 1, 65535);
    if (host.empty() || !port) return std::nullopt;
    return std::pair{host, *port};
}

// A relay goes on TLS to its upstream, and has no device of its own.
common::Outcome<> CheckRelayOptions(const Options& options,
                                    const std::vector<std::string>& deviceOptions) {
    const tls::Settings& files = options.tls;
    if (files.certificate.empty() || files.key.empty() ||
        (files.trust.empty() && files.trustCa.empty())) {
        return Mistake(
            "--upstream needs --tls-cert, --tls-key and --tls-trust (or --tls-trust-ca)");
    }
    if (options.tlsPort || options.tlsOnly) {
        return Mistake(
            "--upstream relays to another gateway's TLS port: it takes no --tls-port and no "
            "--tls-only");
    }
    if (!deviceOptions.empty()) {
        return Mistake("--upstream relays to another gateway, which has the device: it takes no " +
                       deviceOptions.front());
    }
    return common::Done{};
}

// The TLS options go together, and only where the build has TLS.
common::Outcome<> CheckTlsOptions(const Options& options) {
    const tls::Settings& files = options.tls;
    const bool anyFile = !files.certificate.empty() || !files.key.empty() || !files.trust.empty() ||
                         !files.trustCa.empty();
    const bool command = !options.tlsMakeKeyFolder.empty() || !options.tlsFingerprintFile.empty();
    const bool relay = !options.upstreamHost.empty();
    if (!tls::Available() && (options.tlsPort || anyFile || options.tlsOnly || command || relay)) {
        return Mistake(
            "TLS is not part of this build (Windows): the --tls- options and --upstream "
            "cannot be used");
    }
    if (relay) return common::Done{};
    if (options.tlsPort) {
        if (files.certificate.empty() || files.key.empty() ||
            (files.trust.empty() && files.trustCa.empty())) {
            return Mistake(
                "--tls-port needs --tls-cert, --tls-key and --tls-trust (or --tls-trust-ca)");
        }
        if (*options.tlsPort == options.port) {
            return Mistake("the TLS port must differ from the port, not both " +
                           std::to_string(options.port));
        }
    } else if (anyFile || options.tlsOnly) {
        return Mistake(
            "--tls-cert, --tls-key, --tls-trust, --tls-trust-ca and --tls-only need --tls-port "
            "(or, but --tls-only, --upstream)");
    }
    return common::Done{};
}

}  // namespace

common::Outcome<Options> ParseOptions(const std::vector<std::string>& arguments) {
    Options options;
    options.initText = modem_texts::kDefaultInit;
    options.dialText = modem_texts::kDefaultDial;
    options.hangupText = modem_texts::kDefaultHangup;
    // Those of a gateway with a device, which a relay does not take.
    std::vector<std::string> deviceOptions;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--com" || option == "--modem" || option == "--init" || option == "--dial" ||
            option == "--hangup" || option == "--release-after" || option == "--no-coalesce")
            deviceOptions.push_back(option);
        if (option == "--help" || option == "-h") {
            options.help = true;
            continue;
        }
        if (option == "--modem") {
            options.useModem = true;
            continue;
        }
        if (option == "--no-coalesce") {
            options.coalesce = false;
            continue;
        }
        if (option == "--service") {
            options.service = true;
            continue;
        }
        if (option == "--log-file") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                return Mistake("option --log-file needs a file");
            }
            options.logFile = arguments[++i];
            continue;
        }
        if (option == "--tls-only") {
            options.tlsOnly = true;
            continue;
        }
        bool takesValue = option == "--port" || option == "--com" || option == "--init" ||
                          option == "--dial" || option == "--hangup" || option == "--bind" ||
                          option == "--allow" || option == "--idle-timeout" ||
                          option == "--release-after" || option == "--tls-port" ||
                          option == "--upstream" || TlsFile(options, option) != nullptr;
        if (!takesValue) {
            return Mistake("unknown option '" + option + "'");
        }
        if (i + 1 >= arguments.size()) {
            return Mistake("option " + option + " needs a value");
        }
        const std::string& value = arguments[++i];
        if (option == "--port") {
            auto port = common::ParseWholeNumber(value, 1, 65535);
            if (!port) {
                return Mistake("the port must be a number from 1 to 65535, not '" + value + "'");
            }
            options.port = *port;
        } else if (option == "--com") {
            auto com = common::ParseWholeNumber(value, 1, 255);
            if (!com) {
                return Mistake("the COM number must be from 1 to 255, not '" + value + "'");
            }
            options.com = *com;
        } else if (option == "--bind") {
            auto address = gateway::ParseIpAddress(value);
            if (!address) {
                return Mistake(
                    "the bind address must be an IPv4 or IPv6 address like 127.0.0.1 or ::1, "
                    "not '" +
                    value + "'");
            }
            options.bindAddress = *address;
            options.bindGiven = true;
        } else if (option == "--upstream") {
            auto endpoint = ParseEndpoint(value);
            if (!endpoint) {
                return Mistake(
                    "the upstream must be HOST:PORT like gw.example:7106 or [fd00::1]:7106 "
                    "(PORT 1 to 65535), not '" +
                    value + "'");
            }
            options.upstreamHost = endpoint->first;
            options.upstreamPort = endpoint->second;
        } else if (option == "--allow") {
            auto network = gateway::ParseIpNetwork(value);
            if (!network) {
                return Mistake(
                    "an allowed network must be NET[/BITS] like 192.168.10.0/24 (BITS 0 to 32) "
                    "or fd00::/8 (BITS 0 to 128), not '" +
                    value + "'");
            }
            options.allowed.push_back(*network);
        } else if (option == "--idle-timeout") {
            auto seconds = common::ParseWholeNumber(value, 0, gateway::kMaxIdleTimeoutSeconds);
            if (!seconds) {
                return Mistake("the idle time-out must be a number of seconds from 0 to " +
                               std::to_string(gateway::kMaxIdleTimeoutSeconds) + ", not '" + value +
                               "'");
            }
            options.idleTimeoutSeconds = *seconds;
        } else if (option == "--release-after") {
            auto seconds = common::ParseWholeNumber(value, 0, gateway::kMaxIdleTimeoutSeconds);
            if (!seconds) {
                return Mistake("the release time must be a number of seconds from 0 to " +
                               std::to_string(gateway::kMaxIdleTimeoutSeconds) + ", not '" + value +
                               "'");
            }
            options.releaseAfterSeconds = *seconds;
        } else if (option == "--tls-port") {
            auto port = common::ParseWholeNumber(value, 1, 65535);
            if (!port) {
                return Mistake("the TLS port must be a number from 1 to 65535, not '" + value +
                               "'");
            }
            options.tlsPort = *port;
        } else if (std::string* file = TlsFile(options, option)) {
            if (value.empty()) {
                return Mistake("option " + option + " needs a file name, not ''");
            }
            *file = value;
        } else if (option == "--init") {
            options.initText = value;
        } else if (option == "--dial") {
            options.dialText = value;
        } else {
            options.hangupText = value;
        }
    }
    if (auto checked = CheckTlsOptions(options); !checked.Ok()) return checked.Why();
    if (!options.upstreamHost.empty()) {
        if (auto checked = CheckRelayOptions(options, deviceOptions); !checked.Ok())
            return checked.Why();
    }
    return options;
}

gateway::ServerConfig ServerConfigOf(const Options& options) {
    gateway::ServerConfig config;
    config.port = options.port;
    config.bindAddress = options.bindAddress;
    config.allowed = options.allowed;
    config.idleTimeoutSeconds = options.idleTimeoutSeconds;
    config.coalesce = options.coalesce;
    config.releaseAfterSeconds = options.releaseAfterSeconds;
    config.tlsPort = options.tlsPort;
    config.tls = options.tls;
    config.tlsOnly = options.tlsOnly;
    // A relay serves this computer's programs unless told otherwise.
    config.loopbackOnly = !options.upstreamHost.empty() && !options.bindGiven;
    config.channel = options.com - 1;
    config.modem = {options.useModem, modem_texts::ConvertEscapes(options.initText),
                    modem_texts::ConvertEscapes(options.dialText),
                    modem_texts::ConvertEscapes(options.hangupText)};
    return config;
}

}  // namespace gatewayd
