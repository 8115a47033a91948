// vr620-gatewayd's command line and the modem texts it converts.
#include "fuzz_input.h"
#include "gatewayd_options.h"
#include "modem_texts.h"

using vr620_fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parsed = gatewayd::ParseOptions(vr620_fuzz::Arguments(data, size));
    Require(parsed.Ok() || !parsed.Why().words.empty());
    if (!parsed.Ok()) return 0;
    const gatewayd::Options& options = parsed.Value();
    Require(options.port >= 1 && options.port <= 65535);
    Require(options.com >= 1 && options.com <= 255);
    Require(options.idleTimeoutSeconds >= 0 &&
            options.idleTimeoutSeconds <= gateway::kMaxIdleTimeoutSeconds);
    for (const gateway::IpNetwork& network : options.allowed) {
        Require(network.prefixBits >= 0 && network.prefixBits <= 128);
        Require(network.Contains(network.address));
        // An IPv4 network admits no IPv6 client.
        if (network.prefixBits >= 96 && network.address.IsIpv4())
            Require(!network.Contains(gateway::IpAddress::Ipv6Loopback()));
    }
    // Whatever address is printed reads back the same.
    if (const auto again = gateway::ParseIpAddress(gateway::FormatIpAddress(options.bindAddress)))
        Require(*again == options.bindAddress);
    else
        Require(false);
    for (const std::string* text : {&options.initText, &options.dialText, &options.hangupText})
        Require(modem_texts::ConvertEscapes(*text).size() <= text->size());
    return 0;
}
