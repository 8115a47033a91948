#include "version_text.h"

#include <array>
#include <cstring>

#include "library_file.h"
#include "program_path.h"
#include "version_info.h"

namespace manager {

std::string ReadVersionText() {
    std::string version = kUnknownVersion;
    LibraryFile library(BesideProgram(std::string("VR620VersionInfo") + kLibrarySuffix));
    if (!library.Load()) return version;
    auto get = reinterpret_cast<GetVersionInfoFunction>(library.Resolve(kGetVersionInfoName));
    if (get != nullptr) {
        std::array<char, kVersionBufferSize> buffer{};
        if (get(buffer.data(), kVersionBufferSize) == 0) {
            // The library's text ends at the buffer's end at the latest.
            buffer.back() = '\0';
            version.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
        }
    }
    return version;
}

}  // namespace manager
