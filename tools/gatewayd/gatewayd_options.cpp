#include "gatewayd_options.h"

#include <charconv>

#include "modem_strings.h"

namespace gatewayd {
namespace {

std::optional<int> ParseNumber(const std::string& text, int low, int high) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

}  // namespace

std::string UsageText() {
    return "Usage: vr620-gatewayd [--port N] [--com N] [--modem [--init TEXT] [--dial TEXT]\n"
           "                      [--hangup TEXT]] [--help]\n"
           "Serves the VR-620 controller on a serial port to the suite's client programs over\n"
           "TCP, without windows. The connection log goes to standard output.\n"
           "  --port N       TCP port, 1 to 65535 (default 7105)\n"
           "  --com N        COM port number, 1 to 255 (default 1); its device path comes from\n"
           "                 [Ports] COM<N>= in DUCTA.INI beside libducta.so, else /dev/ttyS<N-1>\n"
           "  --modem        reach the controller through a dial-up modem\n"
           "  --init TEXT    modem initialisation commands (default \"ATE0S0=1\\r;AT&W\\r\")\n"
           "  --dial TEXT    dial command (default \"ATDT 12345678\\r\")\n"
           "  --hangup TEXT  hang-up commands (default \";+++;ATH\\r\")\n"
           "                 In TEXT, \\r is a carriage return and \\n a line feed; ';' separates\n"
           "                 commands.\n"
           "SIGINT or SIGTERM stops the gateway in order (device closed, a modem line hung up)\n"
           "and it exits 0. It exits 1 when the TCP port cannot be opened, 2 on a bad option.\n";
}

std::optional<Options> ParseOptions(const std::vector<std::string>& arguments, std::string& error) {
    Options options;
    options.initText = std::string(gateway::kDefaultInitText);
    options.dialText = std::string(gateway::kDefaultDialText);
    options.hangupText = std::string(gateway::kDefaultHangupText);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help" || option == "-h") {
            options.help = true;
            continue;
        }
        if (option == "--modem") {
            options.useModem = true;
            continue;
        }
        bool takesValue = option == "--port" || option == "--com" || option == "--init" ||
                          option == "--dial" || option == "--hangup";
        if (!takesValue) {
            error = "unknown option '" + option + "'";
            return std::nullopt;
        }
        if (i + 1 >= arguments.size()) {
            error = "option " + option + " needs a value";
            return std::nullopt;
        }
        const std::string& value = arguments[++i];
        if (option == "--port") {
            auto port = ParseNumber(value, 1, 65535);
            if (!port) {
                error = "the port must be a number from 1 to 65535, not '" + value + "'";
                return std::nullopt;
            }
            options.port = *port;
        } else if (option == "--com") {
            auto com = ParseNumber(value, 1, 255);
            if (!com) {
                error = "the COM number must be from 1 to 255, not '" + value + "'";
                return std::nullopt;
            }
            options.com = *com;
        } else if (option == "--init") {
            options.initText = value;
        } else if (option == "--dial") {
            options.dialText = value;
        } else {
            options.hangupText = value;
        }
    }
    return options;
}

}  // namespace gatewayd
