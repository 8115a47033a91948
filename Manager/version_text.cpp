#include "version_text.h"

#include <dlfcn.h>

#include <array>
#include <cstring>

#include "program_path.h"
#include "version_info.h"

namespace manager {

std::string ReadVersionText() {
    std::string version = kUnknownVersion;
    void* library = dlopen(BesideProgram(kVersionLibraryName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return version;
    auto get = reinterpret_cast<GetVersionInfoFunction>(dlsym(library, kGetVersionInfoName));
    if (get != nullptr) {
        std::array<char, kVersionBufferSize> buffer{};
        if (get(buffer.data(), kVersionBufferSize) == 0) {
            // The library's text ends at the buffer's end at the latest.
            buffer.back() = '\0';
            version.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
        }
    }
    dlclose(library);
    return version;
}

}  // namespace manager
