// Helpers the fuzz targets share: the input as text, as a command line, and as a byte stream
// cut into pieces.
#pragma once

#include <algorithm>
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

// The length of the next piece of a byte stream for a receiver that wants `wanted` bytes (at
// least 1), with `left` bytes of input left. The input chooses it (`first` is the piece's first
// byte; `step` carries the choice on, starting at 1), so that the receiver meets every split
// a socket or a line could give it.
inline std::size_t NextPiece(std::size_t wanted, std::size_t left, std::uint8_t first,
                             std::size_t& step) {
    const std::size_t piece = std::min({wanted, left, 1 + step % wanted});
    step = step * 31 + first;
    return piece;
}

// A broken promise of the code under test: abort, so that the fuzzer keeps the input.
inline void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace vr620_fuzz
