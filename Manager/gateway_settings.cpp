#include "gateway_settings.h"

#include "whole_number.h"

namespace manager {
namespace {

constexpr char kSection[] = "GATEWAY_SETTINGS";

std::string Malformed(const char* key, const std::string& value) {
    return std::string("VR620Manager.INI [") + kSection + "] " + key + ": '" + value +
           "' is not valid";
}

}  // namespace

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
    return {};
}

}  // namespace manager
