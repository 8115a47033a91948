// How the device is reached: on a direct cable, or through a modem with its command lists.
#pragma once

#include <string>

namespace gateway {

// Whether the device is reached through a modem, and its command lists with the escapes already
// converted (modem_texts.h). Empty lists are passed to the library as none.
struct ModemSettings {
    bool useModem = false;
    std::string init;
    std::string dial;
    std::string hangup;
};

}  // namespace gateway
