// The version library VR620VersionInfo.so, loaded by the manager's About box from the program's
// folder (VR620VersionInfo.dll on Windows). It exports one function with C linkage.
#pragma once

// How the library exports its function on each platform.
#ifdef _WIN32
#define VR620_VERSION_INFO_EXPORT __declspec(dllexport)
#else
#define VR620_VERSION_INFO_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// Writes the version ("1.0.0.0") as a zero-terminated text into `buffer` of `size` bytes and
// returns 0; returns 1 and writes nothing when the buffer cannot hold it.
VR620_VERSION_INFO_EXPORT int GetVersionInfo(char* buffer, int size);

using GetVersionInfoFunction = int (*)(char* buffer, int size);
}

// The About box asks with a buffer of this size.
inline constexpr int kVersionBufferSize = 20;
inline constexpr char kGetVersionInfoName[] = "GetVersionInfo";
