// Helpers the fuzz targets share: the input as text, and as a command line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace vr620_fuzz {

inline std::string_view Text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The input split at NUL bytes: one argument each (seeds are written that way).
inline std::vector<std::string> Arguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments;
    std::string_view rest = Text(data, size);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\0');
        arguments.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return arguments;
}

// A broken promise of the code under test: abort, so that the fuzzer keeps the input.
inline void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace vr620_fuzz
