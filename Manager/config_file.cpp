#include "config_file.h"

#include <climits>
#include <utility>

#include "profile_file.h"
#include "program_path.h"
#include "settings_location.h"
#include "system_error.h"
#include "whole_number.h"

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

common::Outcome<> ConfigFile::WriteText(std::string_view section, std::string_view key,
                                        std::string_view value) const {
    std::string reason;
    if (const auto folder = MakeSettingsFolderFor(file_); !folder.Ok()) {
        reason = folder.Why().words;
    } else if (profile::WriteString(file_, section, key, value)) {
        return common::Done{};
    } else {
        reason = common::SystemErrorText(common::LastSystemError());
    }
    return common::Failure{common::FailureKind::kOther, "Cannot write the configuration file \"" +
                                                            file_.string() + "\": " + reason};
}

int ParseConfigInteger(std::string_view text, int defaultValue) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        // Hexadecimal digits alone: no sign after "0x".
        if (text[0] == '-') return defaultValue;
        base = 16;
    } else if (text.size() > 1 && text[0] == '+' && text[1] != '-') {
        // A decimal number may carry one plus sign.
        text.remove_prefix(1);
    }
    return common::ParseWholeNumber(text, INT_MIN, INT_MAX, base).value_or(defaultValue);
}

}  // namespace manager
