// A language library that hands every question to the test program (which exports
// "TestLanguageAnswer"), so that a test sees each key in the order asked and chooses the answer.
#include <dlfcn.h>

#include <cstdint>

namespace {
using Answer = const char* (*)(const char* key, std::uint32_t* context);
}

extern "C" __attribute__((visibility("default"))) const char* LoadResourceString(
    const char* key, std::uint32_t* context) {
    auto answer = reinterpret_cast<Answer>(dlsym(RTLD_DEFAULT, "TestLanguageAnswer"));
    return answer != nullptr ? answer(key, context) : nullptr;
}
