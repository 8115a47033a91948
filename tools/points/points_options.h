// vr620-points' command line, as the manager starts the suite's programs: HOST=<host>
// PORT=<port> LANG=<code>, each one argument (upper-case keys; others are ignored), and --help.
#pragma once

#include <string>
#include <vector>

#include "message_format.h"

namespace points {

struct PointsOptions {
    std::string host = "localhost";
    int port = gateway::kDefaultPort;
    std::string language = "FIN";
    bool help = false;
    std::vector<std::string> ignored;  // arguments that are none of the above
};

// A PORT= that is not a whole number from 1 to 65535 gives the default port, as the manager
// takes it.
PointsOptions ParsePointsOptions(const std::vector<std::string>& arguments);
std::string PointsUsage();

}  // namespace points
