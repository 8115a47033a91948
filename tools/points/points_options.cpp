#include "points_options.h"

#include "whole_number.h"

namespace points {

PointsOptions ParsePointsOptions(const std::vector<std::string>& arguments) {
    PointsOptions options;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument.starts_with("HOST=")) {
            options.host = argument.substr(5);
        } else if (argument.starts_with("PORT=")) {
            options.port = common::ParseWholeNumber(argument.substr(5), 1, 65535)
                               .value_or(gateway::kDefaultPort);
        } else if (argument.starts_with("LANG=")) {
            options.language = argument.substr(5);
        } else {
            options.ignored.push_back(argument);
        }
    }
    // An empty host or language is the default one.
    if (options.host.empty()) options.host = "localhost";
    if (options.language.empty()) options.language = "FIN";
    return options;
}

std::string PointsUsage() {
    const std::string port = std::to_string(gateway::kDefaultPort);
    return "Usage: vr620-points [HOST=<host>] [PORT=<port>] [LANG=FIN|ENG|SWE]\n"
           "\n"
           "A window of the VR-620 controller's data points through the gateway: read them,\n"
           "write them, watch chosen ones every N seconds with a trend.\n"
           "\n"
           "  HOST=<host>   the gateway's host (default localhost)\n"
           "  PORT=<port>   the gateway's TCP port (default " +
           port +
           ")\n"
           "  LANG=<code>   the texts: FIN (default), ENG or SWE\n"
           "  --help        this text\n"
           "\n"
           "The list of points is loaded at the start from the file named by VR620_POINTS_FILE\n"
           "when it is set, and is saved and loaded as CSV (point,name,watch) from the File "
           "menu.\n";
}

}  // namespace points
