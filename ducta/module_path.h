// The file that holds this library's code: libducta.so or DUCTA.dll wherever it was loaded
// from (or the program, when the code is linked into one), so that its settings file is found
// beside it.
#pragma once

#include <filesystem>

namespace ducta {

// The absolute path of that file; empty when the system cannot say.
std::filesystem::path ModuleFilePath();

}  // namespace ducta
