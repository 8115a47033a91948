// vr620-gatewayd's command line and the server configuration it asks for.
#include "gatewayd_options.h"

#include <gtest/gtest.h>

namespace {

using gatewayd::ParseOptions;

// The words of a refused command line; empty when it was taken.
std::string Mistake(const std::vector<std::string>& arguments) {
    const auto parsed = ParseOptions(arguments);
    return parsed.Ok() ? std::string() : parsed.Why().words;
}

TEST(GatewaydOptions, AddressesOfBothFamiliesAndTheConfigurationTheyGive) {
    const auto defaults = ParseOptions({});
    ASSERT_TRUE(defaults.Ok()) << defaults.Why().words;
    EXPECT_EQ(defaults.Value().port, gateway::kDefaultPort);
    EXPECT_TRUE(gatewayd::ServerConfigOf(defaults.Value()).bindAddress.IsUnspecified());

    const auto options =
        ParseOptions({"--bind", "::1", "--allow", "fd00::/8", "--allow", "192.168.10.0/24", "--com",
                      "3", "--modem", "--dial", "ATDT 1\\r"});
    ASSERT_TRUE(options.Ok()) << options.Why().words;
    const gateway::ServerConfig config = gatewayd::ServerConfigOf(options.Value());
    EXPECT_EQ(config.bindAddress, gateway::IpAddress::Ipv6Loopback());
    ASSERT_EQ(config.allowed.size(), 2u);
    EXPECT_TRUE(gateway::Allowed(config.allowed, *gateway::ParseIpAddress("fd00::2")));
    EXPECT_TRUE(gateway::Allowed(config.allowed, *gateway::ParseIpAddress("::ffff:192.168.10.7")));
    EXPECT_FALSE(gateway::Allowed(config.allowed, *gateway::ParseIpAddress("::1")));
    EXPECT_EQ(config.channel, 2);
    EXPECT_TRUE(config.modem.useModem);
    EXPECT_EQ(config.modem.dial, "ATDT 1\r");
    EXPECT_EQ(ParseOptions({"--bind", "127.0.0.1"}).Value().bindAddress,
              gateway::IpAddress::FromIpv4(0x7F000001));

    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--bind", "localhost"},
                                               {"--bind", "::1%lo"},
                                               {"--allow", "fd00::/129"},
                                               {"--allow", "10.0.0.0/33"},
                                               {"--port", "0"}}) {
        const std::string error = Mistake(bad);
        EXPECT_NE(error.find("'" + bad[1] + "'"), std::string::npos) << bad[1] << ": " << error;
    }
}

TEST(GatewaydOptions, ServiceAndLogFile) {
    const auto options =
        ParseOptions({"--service", "--log-file", "C:\\ProgramData\\x.log", "--com", "2"});
    ASSERT_TRUE(options.Ok()) << options.Why().words;
    EXPECT_TRUE(options.Value().service);
    EXPECT_EQ(options.Value().logFile, "C:\\ProgramData\\x.log");
    EXPECT_FALSE(ParseOptions({}).Value().service);
    EXPECT_FALSE(ParseOptions({"--log-file"}).Ok());
    const std::string error = Mistake({"--log-file", ""});
    EXPECT_NE(error.find("--log-file"), std::string::npos) << error;
}

}  // namespace
