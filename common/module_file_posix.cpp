#include <dlfcn.h>

#include "module_file.h"

namespace common {

std::filesystem::path ModuleFileOf(const void* code) {
    Dl_info info{};
    if (dladdr(code, &info) == 0 || info.dli_fname == nullptr) return {};
    std::error_code ec;
    std::filesystem::path file = std::filesystem::absolute(info.dli_fname, ec);
    if (ec) return {};
    return file;
}

}  // namespace common
