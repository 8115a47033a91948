#include "settings_location.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <system_error>

#include "program_path.h"

namespace manager {

bool ProgramFolderWritable() {
    // Asks the system for the real user, root included, and says no on a read-only mount.
    const std::filesystem::path folder = ProgramPath().parent_path();
    if (folder.empty()) return false;
    const QFileInfo info(QString::fromStdU16String(folder.u16string()));
    return info.isDir() && info.isWritable() && info.isExecutable();
}

std::filesystem::path UserSettingsFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    // A relative XDG_CONFIG_HOME counts as unset.
    if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + "/.config";
    return std::filesystem::path(QDir::cleanPath(base).toStdU16String()) / "vr620";
}

std::filesystem::path WritableProgramFile(std::string_view suffix) {
    const std::filesystem::path besideProgram = ProgramPathWithSuffix(suffix);
    if (ProgramFolderWritable()) return besideProgram;
    return UserSettingsFolder() / besideProgram.filename();
}

common::Outcome<> MakeSettingsFolderFor(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    if (folder != UserSettingsFolder()) return common::Done{};
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!ec) return common::Done{};
    return common::Failure{common::FailureKind::kOther,
                           "cannot create the folder " + folder.string() + ": " + ec.message()};
}

}  // namespace manager
