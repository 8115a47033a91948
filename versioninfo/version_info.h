// The version library VR620VersionInfo.so, loaded by the manager's About box from the program's
// folder. It exports one function with C linkage.
#pragma once

extern "C" {

// Writes the version ("1.0.0.0") as a zero-terminated text into `buffer` of `size` bytes and
// returns 0; returns 1 and writes nothing when the buffer cannot hold it.
int GetVersionInfo(char* buffer, int size);

using GetVersionInfoFunction = int (*)(char* buffer, int size);
}

// The About box asks with a buffer of this size.
inline constexpr int kVersionBufferSize = 20;
inline constexpr char kGetVersionInfoName[] = "GetVersionInfo";
