// What our programs say on a bad command line: first the one line that says what was wrong,
// then the usage's synopsis and where the rest is, rather than every option with the useful
// line scrolled away above them.
#pragma once

#include <string>
#include <string_view>

namespace common {

// "PROGRAM: ERROR", the lines of `usage` from its "Usage:" line up to the first line that does
// not continue it, and "Try 'PROGRAM --help' for the options."; every line ends in a line feed.
std::string BadCommandLineText(std::string_view program, std::string_view error,
                               std::string_view usage);

}  // namespace common
