#include "client_launcher.h"

#include <spawn.h>

#include <cerrno>

#include "child_reaper.h"

extern char** environ;

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

int StartClientProcess(const std::string& program, const std::vector<std::string>& arguments) {
    if (program.empty()) return ENOENT;
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return ENOMEM;
    // Ours are close-on-exec already; this also keeps back any that a library left open.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return error;
    ReapWhenEnded(pid);
    return 0;
}

}  // namespace manager
