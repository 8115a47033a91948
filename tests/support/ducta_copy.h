// A private copy of libducta.so in a test's own folder, loaded with dlopen, so that every test
// has its own DUCTA.INI beside "the library" and its own module state.
#pragma once

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "ducta.h"
#include "temp_dir.h"

#ifndef DUCTA_LIBRARY_PATH
#error "DUCTA_LIBRARY_PATH must name the built libducta.so"
#endif

namespace vr620_test {

class DuctaCopy {
  public:
    explicit DuctaCopy(const std::filesystem::path& folder) : folder_(folder) {
        library_ = folder / "libducta.so";
        std::filesystem::copy_file(DUCTA_LIBRARY_PATH, library_,
                                   std::filesystem::copy_options::overwrite_existing);
        handle_ = dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            std::cerr << "cannot load " << library_.string() << ": " << dlerror() << "\n";
            std::abort();
        }
        Bind(module_open, "DCT_module_open");
        Bind(Open, "DCT_Open");
        Bind(Write, "DCT_Write");
        Bind(Read, "DCT_Read");
        Bind(Close, "DCT_Close");
        Bind(module_close, "DCT_module_close");
    }
    ~DuctaCopy() {
        module_close();
        dlclose(handle_);
    }
    DuctaCopy(const DuctaCopy&) = delete;
    DuctaCopy& operator=(const DuctaCopy&) = delete;

    const std::filesystem::path& LibraryFile() const { return library_; }
    std::filesystem::path IniFile() const { return folder_ / "DUCTA.INI"; }
    void WriteIni(const std::string& content) const { WriteFile(IniFile(), content); }

    decltype(&DCT_module_open) module_open = nullptr;
    decltype(&DCT_Open) Open = nullptr;
    decltype(&DCT_Write) Write = nullptr;
    decltype(&DCT_Read) Read = nullptr;
    decltype(&DCT_Close) Close = nullptr;
    decltype(&DCT_module_close) module_close = nullptr;

  private:
    template <typename F>
    void Bind(F& f, const char* name) {
        f = reinterpret_cast<F>(dlsym(handle_, name));
        if (f == nullptr) {
            std::cerr << "missing export " << name << "\n";
            std::abort();
        }
    }

    std::filesystem::path folder_;
    std::filesystem::path library_;
    void* handle_ = nullptr;
};

}  // namespace vr620_test
