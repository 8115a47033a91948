#include <windows.h>

#include <string>

#include "module_file.h"

namespace common {

std::filesystem::path ModuleFileOf(const void* code) {
    HMODULE module = nullptr;
    // The image that holds the address; the count of its users stays as it is.
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(code), &module))
        return {};
    // Long paths do not fit MAX_PATH: grow the buffer until the name fits.
    std::wstring name(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        const DWORD n = GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0) return {};
        if (n < name.size()) {
            name.resize(n);
            return std::filesystem::path(name);
        }
        name.resize(name.size() * 4);
    }
    return {};
}

}  // namespace common
