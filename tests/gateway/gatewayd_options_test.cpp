// vr620-gatewayd's command line and the server configuration it asks for.
#include "gatewayd_options.h"

#include <gtest/gtest.h>

namespace {

std::optional<gatewayd::Options> Parse(const std::vector<std::string>& arguments,
                                       std::string& error) {
    error.clear();
    return gatewayd::ParseOptions(arguments, error);
}

TEST(GatewaydOptions, AddressesOfBothFamiliesAndTheConfigurationTheyGive) {
    std::string error;
    auto defaults = Parse({}, error);
    ASSERT_TRUE(defaults) << error;
    EXPECT_EQ(defaults->port, gateway::kDefaultPort);
    EXPECT_TRUE(gatewayd::ServerConfigOf(*defaults).bindAddress.IsUnspecified());

    auto options = Parse({"--bind", "::1", "--allow", "fd00::/8", "--allow", "192.168.10.0/24",
                          "--com", "3", "--modem", "--dial", "ATDT 1\\r"},
                         error);
    ASSERT_TRUE(options) << error;
    const gateway::ServerConfig config = gatewayd::ServerConfigOf(*options);
    EXPECT_EQ(config.bindAddress, gateway::IpAddress::Ipv6Loopback());
    ASSERT_EQ(config.allowed.size(), 2u);
    EXPECT_TRUE(gateway::Allowed(config.allowed, *gateway::ParseIpAddress("fd00::2")));
    EXPECT_TRUE(gateway::Allowed(config.allowed, *gateway::ParseIpAddress("::ffff:192.168.10.7")));
    EXPECT_FALSE(gateway::Allowed(config.allowed, *gateway::ParseIpAddress("::1")));
    EXPECT_EQ(config.channel, 2);
    EXPECT_TRUE(config.modem.useModem);
    EXPECT_EQ(config.modem.dial, "ATDT 1\r");
    EXPECT_EQ(Parse({"--bind", "127.0.0.1"}, error)->bindAddress,
              gateway::IpAddress::FromIpv4(0x7F000001));

    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--bind", "localhost"},
                                               {"--bind", "::1%lo"},
                                               {"--allow", "fd00::/129"},
                                               {"--allow", "10.0.0.0/33"},
                                               {"--port", "0"}}) {
        EXPECT_FALSE(Parse(bad, error)) << bad[1];
        EXPECT_NE(error.find("'" + bad[1] + "'"), std::string::npos) << error;
    }
}

TEST(GatewaydOptions, ServiceAndLogFile) {
    std::string error;
    auto options =
        Parse({"--service", "--log-file", "C:\\ProgramData\\x.log", "--com", "2"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->service);
    EXPECT_EQ(options->logFile, "C:\\ProgramData\\x.log");
    EXPECT_FALSE(Parse({}, error)->service);
    EXPECT_FALSE(Parse({"--log-file"}, error));
    EXPECT_FALSE(Parse({"--log-file", ""}, error));
    EXPECT_NE(error.find("--log-file"), std::string::npos) << error;
}

}  // namespace
