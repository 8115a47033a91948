// vr620-gatewayd's command line and the modem texts it converts.
#include "fuzz_input.h"
#include "gatewayd_options.h"
#include "modem_texts.h"

using vr620_fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto options = gatewayd::ParseOptions(vr620_fuzz::Arguments(data, size), error);
    Require(options.has_value() || !error.empty());
    if (!options) return 0;
    Require(options->port >= 1 && options->port <= 65535);
    Require(options->com >= 1 && options->com <= 255);
    Require(options->idleTimeoutSeconds >= 0 &&
            options->idleTimeoutSeconds <= gateway::kMaxIdleTimeoutSeconds);
    for (const gateway::Ipv4Network& network : options->allowed) {
        Require(network.prefixBits >= 0 && network.prefixBits <= 32);
        Require(network.Contains(network.address));
    }
    for (const std::string* text : {&options->initText, &options->dialText, &options->hangupText})
        Require(modem_texts::ConvertEscapes(*text).size() <= text->size());
    return 0;
}
