// What a language library offers the manager. A language library is a shared library
// VR620Manager_<LANGUAGE>.so beside the program (.dll on Windows); it exports these two functions
// with C linkage. Texts are zero-terminated UTF-8.
#pragma once

#include <cstdint>

// How a language library exports its functions on each platform.
#ifdef _WIN32
#define VR620_LANGUAGE_EXPORT __declspec(dllexport)
#else
#define VR620_LANGUAGE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// The text for `key` (for example "MainForm::BitBtn_Configure->Caption"), or null when the
// library has none, so that the window keeps its own. `context` points at a word that the
// manager keeps unchanged for the life of one use of the library. The text must stay valid
// until the next call.
using LoadResourceStringFunction = const char* (*)(const char* key, std::uint32_t* context);

// Numbered message text `number` (10001 to 10007): copies at most size - 1 bytes and a NUL into
// `buffer` and returns the length copied; 0 when the library has no such text.
using LoadNumberedStringFunction = int (*)(unsigned number, char* buffer, int size);
}

namespace texts {

inline constexpr char kLoadResourceStringName[] = "LoadResourceString";
inline constexpr char kLoadNumberedStringName[] = "LoadNumberedString";

}  // namespace texts
