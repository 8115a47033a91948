#include <dlfcn.h>

#include "module_path.h"

namespace ducta {

std::filesystem::path ModuleFilePath() {
    Dl_info info{};
    // Any function of ours names the library's own file (its copy, wherever it was loaded).
    if (dladdr(reinterpret_cast<void*>(&ModuleFilePath), &info) == 0 || info.dli_fname == nullptr)
        return {};
    std::error_code ec;
    std::filesystem::path file = std::filesystem::absolute(info.dli_fname, ec);
    if (ec) return {};
    return file;
}

}  // namespace ducta
