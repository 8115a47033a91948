#include "library_config.h"

#include <dlfcn.h>

#include <algorithm>

#include "profile_file.h"

namespace ducta {

std::filesystem::path LibraryConfigPath() {
    Dl_info info{};
    // Any function of ours names the library's own file (its copy, wherever it was loaded).
    if (dladdr(reinterpret_cast<void*>(&LibraryConfigPath), &info) == 0 ||
        info.dli_fname == nullptr)
        return {};
    std::error_code ec;
    std::filesystem::path library = std::filesystem::absolute(info.dli_fname, ec);
    if (ec) return {};
    return library.parent_path() / "DUCTA.INI";
}

ChannelConfig ReadChannelConfig(const std::filesystem::path& file, bool modem) {
    ChannelConfig c;
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
    return c;
}

}  // namespace ducta
