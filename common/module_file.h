// The file that holds a piece of loaded code: a shared library (libducta.so, DUCTA.dll) or the
// program, wherever it was loaded from, so that the files beside it are found.
#pragma once

#include <filesystem>

namespace common {

// The absolute path of the file that holds `code` (the address of one of its functions); empty
// when the system cannot say.
std::filesystem::path ModuleFileOf(const void* code);

}  // namespace common
