#include "gateway_settings.h"

#include "whole_number.h"

namespace manager {
namespace {

constexpr char kSection[] = "GATEWAY_SETTINGS";

std::string Malformed(const char* key, const std::string& value) {
    return std::string("VR620Manager.INI [") + kSection + "] " + key + ": '" + value +
           "' is not valid";
}

constexpr const char* kTlsKeys[] = {"TlsPort", "TlsCertificate", "TlsKey",
                                    "TlsTrust", "TlsTrustCa", "TlsOnly"};

// TlsPort and the files go together, as vr620-gatewayd's --tls- options do.
std::string ReadTlsSettings(const ConfigFile& file, gateway::ServerConfig& config) {
    const std::string port = file.ReadText(kSection, "TlsPort", "");
    config.tls.certificate = file.ReadText(kSection, "TlsCertificate", "");
    config.tls.key = file.ReadText(kSection, "TlsKey", "");
    config.tls.trust = file.ReadText(kSection, "TlsTrust", "");
    config.tls.trustCa = file.ReadText(kSection, "TlsTrustCa", "");
    const std::string only = file.ReadText(kSection, "TlsOnly", "");
    if (!only.empty()) {
        const auto on = common::ParseWholeNumber(only, 0, 1);
        if (!on) return Malformed("TlsOnly", only);
        config.tlsOnly = *on == 1;
    }
    if (!TlsWanted(file)) return {};
    const auto number = common::ParseWholeNumber(port, 1, 65535);
    if (!number) return Malformed("TlsPort", port) + " (a port from 1 to 65535 goes with TLS)";
    config.tlsPort = *number;
    if (config.tls.certificate.empty())
        return Malformed("TlsCertificate", "") + " (TlsPort needs a certificate)";
    if (config.tls.key.empty()) return Malformed("TlsKey", "") + " (TlsPort needs a key)";
    if (config.tls.trust.empty() && config.tls.trustCa.empty())
        return Malformed("TlsTrust", "") + " (TlsPort needs a trust file, or TlsTrustCa)";
    return {};
}

}  // namespace

bool TlsWanted(const ConfigFile& file) {
    for (const char* key : kTlsKeys) {
        // TlsOnly=0 asks for nothing.
        const std::string value = file.ReadText(kSection, key, "");
        if (!value.empty() && !(std::string_view(key) == "TlsOnly" && value == "0")) return true;
    }
    return false;
}

std::string ReadGatewaySettings(const ConfigFile& file, gateway::ServerConfig& config) {
    const std::string bind = file.ReadText(kSection, "BindAddress", "");
    if (!bind.empty()) {
        auto address = gateway::ParseIpAddress(bind);
        if (!address) return Malformed("BindAddress", bind);
        config.bindAddress = *address;
    }

    // Networks of either family separated by blanks, commas or semicolons.
    const std::string allowed = file.ReadText(kSection, "AllowedNetworks", "");
    std::size_t pos = 0;
    while ((pos = allowed.find_first_not_of(" \t,;", pos)) != std::string::npos) {
        std::size_t end = allowed.find_first_of(" \t,;", pos);
        const std::string item = allowed.substr(pos, end - pos);
        auto network = gateway::ParseIpNetwork(item);
        if (!network) return Malformed("AllowedNetworks", item);
        config.allowed.push_back(*network);
        pos = end;
    }

    const std::string idle = file.ReadText(kSection, "IdleTimeOut", "");
    if (!idle.empty()) {
        const auto seconds = common::ParseWholeNumber(idle, 0, gateway::kMaxIdleTimeoutSeconds);
        if (!seconds) return Malformed("IdleTimeOut", idle);
        config.idleTimeoutSeconds = *seconds;
    }

    const std::string release = file.ReadText(kSection, "ReleaseAfter", "");
    if (!release.empty()) {
        const auto seconds = common::ParseWholeNumber(release, 0, gateway::kMaxIdleTimeoutSeconds);
        if (!seconds) return Malformed("ReleaseAfter", release);
        config.releaseAfterSeconds = *seconds;
    }

    const std::string coalesce = file.ReadText(kSection, "Coalesce", "");
    if (!coalesce.empty()) {
        const auto on = common::ParseWholeNumber(coalesce, 0, 1);
        if (!on) return Malformed("Coalesce", coalesce);
        config.coalesce = *on == 1;
    }
    return ReadTlsSettings(file, config);
}

}  // namespace manager
