// The vr620 command line: data points, values and the commands with their arguments.
#include "command_line.h"

#include <gtest/gtest.h>

namespace {

using vr620::Action;
using vr620::ParseCommandLine;

// The command line, or nothing when it is refused (in words).
std::optional<vr620::CommandLine> Parse(const std::vector<std::string>& args) {
    const auto line = ParseCommandLine(args);
    if (line.Ok()) return line.Value();
    EXPECT_FALSE(line.Why().words.empty());
    return std::nullopt;
}

TEST(CommandLine, PointsAndHexValues) {
    EXPECT_EQ(vr620::ParsePoint("258"), 258);
    EXPECT_EQ(vr620::ParsePoint("0x0102"), 0x0102);
    EXPECT_EQ(vr620::ParsePoint("0XFFFF"), 0xFFFF);
    EXPECT_FALSE(vr620::ParsePoint("65536"));
    EXPECT_FALSE(vr620::ParsePoint("-1"));
    EXPECT_FALSE(vr620::ParsePoint("0x"));
    EXPECT_FALSE(vr620::ParsePoint("12abc"));
    using B = std::vector<std::uint8_t>;
    EXPECT_EQ(vr620::ParseHexBytes("1234"), (B{0x12, 0x34}));
    EXPECT_EQ(vr620::ParseHexBytes("aa BB:0c-0D"), (B{0xAA, 0xBB, 0x0C, 0x0D}));
    EXPECT_EQ(vr620::ParseHexBytes(""), B{});
    EXPECT_FALSE(vr620::ParseHexBytes("123"));
    EXPECT_FALSE(vr620::ParseHexBytes("1 23"));
    EXPECT_FALSE(vr620::ParseHexBytes("zz"));
    EXPECT_EQ(vr620::FormatHexBytes({0xAA, 0x0B}), "AA 0B");
    EXPECT_EQ(vr620::FormatHexBytes({}), "");
}

TEST(CommandLine, CommandsAndOptions) {
    auto read = Parse({"--host", "gw.example", "--port", "7200", "read", "0x0102"});
    ASSERT_TRUE(read);
    EXPECT_EQ(read->action, Action::kRead);
    EXPECT_EQ(read->host, "gw.example");
    EXPECT_EQ(read->port, 7200);
    EXPECT_EQ(read->point, 0x0102);
    auto write = Parse({"write", "16", "12 34"});
    ASSERT_TRUE(write);
    EXPECT_EQ(write->value, (std::vector<std::uint8_t>{0x12, 0x34}));
    auto bench = Parse({"bench", "--clients", "64", "--requests", "10"});
    ASSERT_TRUE(bench);
    EXPECT_EQ(bench->clients, 64);
    EXPECT_EQ(bench->requests, 10);
    EXPECT_EQ(bench->point, 0x0001);
    EXPECT_EQ(Parse({"bench", "0x10"})->point, 0x10);
    EXPECT_EQ(Parse({"connect"})->action, Action::kConnect);
    EXPECT_EQ(Parse({"disconnect"})->action, Action::kDisconnect);
    EXPECT_EQ(Parse({"--help"})->action, Action::kHelp);
}

TEST(CommandLine, MistakesAreRefusedInWords) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"read"},
             {"read", "1", "2"},
             {"write", "1"},
             {"write", "1", "xyz"},
             {"fetch", "1"},
             {"--port", "0", "connect"},
             {"--port"},
             {"--clients", "0", "bench"},
             {"--frobnicate", "connect"},
         }) {
        EXPECT_FALSE(Parse(args)) << (args.empty() ? "" : args[0]);
    }
}

}  // namespace
