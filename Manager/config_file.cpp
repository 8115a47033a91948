#include "config_file.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <utility>

#include "profile_file.h"
#include "program_path.h"
#include "settings_location.h"

namespace manager {
namespace {

constexpr std::size_t kTextBufferSize = 2048;

}  // namespace

ConfigFile::ConfigFile() : file_(WritableProgramFile(".INI")) {
    if (const auto besideProgram = ProgramPathWithSuffix(".INI"); besideProgram != file_)
        defaults_ = besideProgram;
}

ConfigFile::ConfigFile(std::filesystem::path file, std::filesystem::path defaults)
    : file_(std::move(file)), defaults_(std::move(defaults)) {}

std::string ConfigFile::ReadText(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    if (defaults_.empty() || profile::Lookup(file_, section, key))
        return profile::ReadString(file_, section, key, defaultValue, kTextBufferSize);
    return profile::ReadString(defaults_, section, key, defaultValue, kTextBufferSize);
}

int ConfigFile::ReadInteger(std::string_view section, std::string_view key,
                            int defaultValue) const {
    return ParseConfigInteger(ReadText(section, key, ""), defaultValue);
}

void ConfigFile::WriteText(std::string_view section, std::string_view key,
                           std::string_view value) const {
    if (MakeSettingsFolderFor(file_) && profile::WriteString(file_, section, key, value)) return;
    const int error = errno;
    throw ConfigError("Cannot write the configuration file \"" + file_.string() +
                      "\": " + std::strerror(error));
}

int ParseConfigInteger(std::string_view text, int defaultValue) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    } else if (text.size() > 1 && text[0] == '+' && text[1] != '-') {
        // from_chars knows no plus sign; a decimal number may carry one.
        text.remove_prefix(1);
    }
    if (text.empty() || (base == 16 && (text[0] == '-' || text[0] == '+'))) return defaultValue;
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (ec != std::errc() || ptr != end) return defaultValue;
    return value;
}

}  // namespace manager
