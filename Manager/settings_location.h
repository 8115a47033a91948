// Where the manager keeps the files it writes (VR620Manager.INI, VR620Manager.TXT). Beside the
// program while that folder can be written, as it always could; an installed program's folder
// belongs to root, and then the user's configuration folder holds them instead.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "outcome.h"

namespace manager {

// True when the current user may create files in the program's folder.
bool ProgramFolderWritable();

// The user's configuration folder and "vr620" in it: $XDG_CONFIG_HOME/vr620, or
// ~/.config/vr620 when that is unset or not an absolute path.
std::filesystem::path UserSettingsFolder();

// The file the manager writes, named like the program with `suffix`: beside the program when
// its folder can be written, otherwise of the same name in UserSettingsFolder().
std::filesystem::path WritableProgramFile(std::string_view suffix);

// Creates the folder of `file` when it lies in UserSettingsFolder() and is missing, so that a
// first write there succeeds. A failure with the reason in words when it cannot be made.
common::Outcome<> MakeSettingsFolderFor(const std::filesystem::path& file);

}  // namespace manager
