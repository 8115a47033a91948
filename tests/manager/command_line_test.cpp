// The manager's own command line.
#include <gtest/gtest.h>

#include "command_line.h"

namespace {

using manager::ApplyCommandLine;
using manager::CommandLineSettings;

CommandLineSettings Parse(const std::vector<std::string>& arguments) {
    CommandLineSettings settings;
    ApplyCommandLine(arguments, settings);
    return settings;
}

TEST(CommandLineTest, KeysSetTheirValuesAndOthersAreIgnored) {
    CommandLineSettings none = Parse({});
    EXPECT_EQ(none.language, "");
    EXPECT_EQ(none.port, 7105);
    EXPECT_EQ(none.host, "localhost");

    CommandLineSettings all = Parse({"LANG=SWE", "PORT=7200", "HOST=far.example", "-x"});
    EXPECT_EQ(all.language, "SWE");
    EXPECT_EQ(all.port, 7200);
    EXPECT_EQ(all.host, "far.example");

    // Lower-case keys, and a key not at the start, are other arguments.
    CommandLineSettings lower = Parse({"port=7300", "lang=ENG", "host=x", "xPORT=1"});
    EXPECT_EQ(lower.port, 7105);
    EXPECT_EQ(lower.language, "");
    EXPECT_EQ(lower.host, "localhost");

    // Later arguments win; empty values stay empty; every occurrence of the key goes.
    CommandLineSettings later = Parse({"LANG=FIN", "LANG=", "HOST=a", "HOST=", "PORT=72PORT=00"});
    EXPECT_EQ(later.language, "");
    EXPECT_EQ(later.host, "");
    EXPECT_EQ(later.port, 7200);
    EXPECT_EQ(Parse({"HOST=my HOST=box"}).host, "my box");
}

TEST(CommandLineTest, PortIsAWholeDecimalFrom1To65535OrTheDefault) {
    EXPECT_EQ(Parse({"PORT=7200"}).port, 7200);
    EXPECT_EQ(Parse({"PORT=+80"}).port, 80);
    EXPECT_EQ(Parse({"PORT=1"}).port, 1);
    EXPECT_EQ(Parse({"PORT=65535"}).port, 65535);
    for (const char* bad : {"PORT=", "PORT=abc", "PORT=72x", "PORT= 72", "PORT=99999999999",
                            "PORT=0x10", "PORT=+-1", "PORT=++1", "PORT=-5"}) {
        EXPECT_EQ(Parse({"PORT=9", bad}).port, 7105) << bad;
    }
}

}  // namespace
