#include "library_config.h"

#include <algorithm>
#include <string>

#include "device_path.h"
#include "profile_file.h"

namespace ducta {

std::filesystem::path LibraryConfigPath() {
    // Any function of ours names the library's own file (its copy, wherever it was loaded).
    return common::LibraryConfigFile(reinterpret_cast<const void*>(&LibraryConfigPath));
}

ChannelSettings ReadChannelConfig(const std::filesystem::path& file, bool modem) {
    ChannelSettings c;
    c.mode = modem ? ChannelMode::kModem : ChannelMode::kDirect;
    auto read = [&file](const char* section, const char* key, int def) {
        return file.empty() ? def : profile::ReadInt(file, section, key, def);
    };
    if (modem) {
        c.baudRate = read("Modem", "BaudRate", kDefaultModemBaud);
        if (c.baudRate < 0) c.baudRate = kDefaultModemBaud;
        c.connTimeOutS =
            std::max(read("Modem", "ConnTimeOut", kDefaultConnTimeOutS), kMinConnTimeOutS);
        c.pollTimeOutMs =
            std::max(read("Modem", "PollTimeOut", kDefaultModemPollMs), kMinModemPollMs);
        c.commandDelayMs = std::max(read("Modem", "CommandDelay", kDefaultCommandDelayMs), 0);
    } else {
        c.baudRate = read("Direct", "BaudRate", kDefaultDirectBaud);
        if (c.baudRate < 0) c.baudRate = kDefaultDirectBaud;
        c.pollTimeOutMs =
            std::max(read("Direct", "PollTimeOut", kDefaultDirectPollMs), kMinDirectPollMs);
    }
    c.devStart = read("Init", "DevStart", kDefaultDevStart);
    c.devEnd = std::max(read("Init", "DevEnd", kDefaultDevEnd), c.devStart);
    if (!file.empty()) {
        const std::string trace = profile::ReadString(file, "Trace", "File", "");
        if (!trace.empty()) c.traceFile = file.parent_path() / std::filesystem::path(trace);
    }
    c.traceMaxSizeMb =
        std::max(read("Trace", "MaxSize", kDefaultTraceMaxSizeMb), kMinTraceMaxSizeMb);
    return c;
}

}  // namespace ducta
