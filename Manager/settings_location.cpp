#include "settings_location.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

#include "program_path.h"

namespace manager {

bool ProgramFolderWritable() {
    // access() answers for the real user, root included, and says no on a read-only mount.
    const std::filesystem::path folder = ProgramPath().parent_path();
    return !folder.empty() && access(folder.c_str(), W_OK | X_OK) == 0;
}

std::filesystem::path UserSettingsFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::filesystem::path(xdg) / "vr620";
    const char* home = std::getenv("HOME");
    std::string base = home != nullptr ? home : "";
    if (base.empty()) {
        if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr)
            base = user->pw_dir;
    }
    return std::filesystem::path(base) / ".config" / "vr620";
}

std::filesystem::path WritableProgramFile(std::string_view suffix) {
    const std::filesystem::path besideProgram = ProgramPathWithSuffix(suffix);
    if (ProgramFolderWritable()) return besideProgram;
    return UserSettingsFolder() / besideProgram.filename();
}

bool MakeSettingsFolderFor(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    if (folder != UserSettingsFolder()) return true;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) errno = ec.value();
    return !ec;
}

}  // namespace manager
