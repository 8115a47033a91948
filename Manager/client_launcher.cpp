#include "client_launcher.h"

#include <QDir>
#include <QFileInfo>
#include <QOperatingSystemVersion>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <utility>

namespace manager {
namespace {

// The folders of an absolute path, without the root.
std::vector<std::string> FoldersOf(const std::filesystem::path& folder) {
    std::vector<std::string> folders;
    for (const auto& part : folder.relative_path()) {
        if (!part.empty()) folders.push_back(part.string());
    }
    return folders;
}

common::Failure NotStarted(std::string words) {
    return {common::FailureKind::kOther, std::move(words)};
}

}  // namespace

std::string ResolveClientProgram(const std::string& name,
                                 const std::filesystem::path& programPath) {
    // The root plays the part of a drive: "/" for a full path, nothing for any other.
    const bool nameRooted = !name.empty() && name.front() == '/';
    const bool programRooted = programPath.string().starts_with('/');
    if (nameRooted != programRooted || !nameRooted) return name;

    const std::filesystem::path target(name);
    const std::vector<std::string> from = FoldersOf(programPath.parent_path());
    const std::vector<std::string> to = FoldersOf(target.parent_path());
    // Linux file names differ by case, so folders compare exactly.
    std::size_t common = 0;
    while (common < from.size() && common < to.size() && from[common] == to[common]) ++common;

    std::string resolved;
    for (std::size_t i = common; i < from.size(); ++i) resolved += "../";
    for (std::size_t i = common; i < to.size(); ++i) resolved += to[i] + "/";
    resolved += target.filename().string();
    return resolved;
}

std::string ClientCommandLine(const std::string& name, const std::string& host, int port,
                              const std::string& language) {
    return name + " HOST=" + host + " PORT=" + std::to_string(port) + " LANG=" + language;
}

std::vector<std::string> SplitAtBlanks(const std::string& commandLine) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos < commandLine.size()) {
        std::size_t end = commandLine.find(' ', pos);
        if (end == std::string::npos) end = commandLine.size();
        if (end > pos) parts.push_back(commandLine.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

common::Outcome<> StartClientProcess(const std::string& program,
                                     const std::vector<std::string>& arguments) {
    if (program.empty()) return NotStarted("no program name");
    QProcess process;
    // A name without a folder would be looked up on the PATH: the current folder is put in front.
    const QString path = QDir::current().absoluteFilePath(QString::fromLocal8Bit(program));
    QStringList list;
    for (const std::string& argument : arguments) list << QString::fromLocal8Bit(argument);
    process.setProgram(path);
    // The suite's own programs are Windows programs: where the system does not run them itself,
    // Wine does, when it is installed.
    if (path.endsWith(".exe", Qt::CaseInsensitive) &&
        QOperatingSystemVersion::currentType() != QOperatingSystemVersion::Windows) {
        const QString wine = QStandardPaths::findExecutable("wine");
        if (wine.isEmpty()) {
            return NotStarted(path.toLocal8Bit().toStdString() +
                              ": a Windows program, and Wine is missing (no 'wine' on the PATH)");
        }
        // Wine starts anything it is given and fails later, out of sight: the file is looked at
        // here, so that a missing program gets the error box as any other.
        if (!QFileInfo(path).isFile()) {
            return NotStarted(path.toLocal8Bit().toStdString() + ": No such file or directory");
        }
        list.prepend(path);
        process.setProgram(wine);
    }
    process.setArguments(list);
    // Started by a child that ends at once: the program belongs to the system, not to us.
    if (process.startDetached()) return common::Done{};
    // The client program, even when Wine was to start it.
    return NotStarted(path.toLocal8Bit().toStdString() + ": " +
                      process.errorString().toLocal8Bit().toStdString());
}

}  // namespace manager
