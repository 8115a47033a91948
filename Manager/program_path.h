// Where the program lives. The manager finds its configuration file, its language libraries and
// the version library beside its own executable, whatever the current directory is.
#pragma once

#include <filesystem>
#include <string_view>

namespace manager {

// The running program's full path (as Qt finds it), or the empty path without an application
// object.
std::filesystem::path ProgramPath();

// The program's path with its extension replaced by `suffix`, or `suffix` appended when the
// file name has none: "VR620Manager" with ".INI" gives "VR620Manager.INI".
std::filesystem::path ProgramPathWithSuffix(std::string_view suffix);

// The program's folder followed by `fileName`.
std::filesystem::path BesideProgram(std::string_view fileName);

// Tests give each case its own folder: the files beside the program are then looked up beside
// `path` instead. An empty path returns to the real program path. User-interface thread only.
void SetProgramPathForTesting(std::filesystem::path path);

}  // namespace manager
