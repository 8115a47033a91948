// Starting the suite's client programs: the program name from the configuration file, resolved
// against the manager's own folder, started with the gateway's host, port and the language on
// its command line. The manager keeps no hold on a started program: it does not wait for it,
// and none stays behind as a zombie of the manager.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "outcome.h"

namespace manager {

// A name that begins with "/" is made relative to the folder of `programPath` (one "../" for
// each folder of the program beyond the common ones); any other name is used unchanged. A name
// without a leading "/" has no root, so it never shares one with the program's full path.
std::string ResolveClientProgram(const std::string& name, const std::filesystem::path& programPath);

// "<name> HOST=<host> PORT=<port> LANG=<language>", nothing quoted.
std::string ClientCommandLine(const std::string& name, const std::string& host, int port,
                              const std::string& language);

// The command line split at blanks into the argument vector; runs of blanks separate once.
std::vector<std::string> SplitAtBlanks(const std::string& commandLine);

// Starts `program` (a path relative to the current folder, or a full path; never looked up on
// the PATH) with `arguments` behind it, the manager's environment and current folder. A
// Windows program (a name ending in ".exe", in any case) on another system is started as
// `wine <program> <arguments>`, with the `wine` found on the PATH. A failure, its words the
// program's full path and the reason ("<path>: <reason>"), when it could not be started (Wine
// missing among the reasons).
common::Outcome<> StartClientProcess(const std::string& program,
                                     const std::vector<std::string>& arguments);

}  // namespace manager
