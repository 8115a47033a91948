// The socket layer over real TCP on the loopback interface: the counted start of the
// platform's sockets, the local-host check, and the listening socket of both families.
#include <gtest/gtest.h>

#include <string>

#include "gateway_harness.h"
#include "local_host.h"
#include "socket_layer.h"

namespace {

namespace net = gateway::net;
using gateway_test::TcpClient;

// Starts and clean-ups are counted: a listener keeps its own start, so the clean-up that
// balances somebody else's start never takes the platform's sockets from under it.
TEST(SocketLayer, AListenerOutlivesOtherStartsAndCleanUps) {
    ASSERT_TRUE(gateway::StartSockets());
    const int listener = gateway::CreateServerSocket(0, vr620_test::kLoopback4).Value();
    ASSERT_NE(listener, gateway::kInvalidSocket);
    EXPECT_TRUE(gateway::CleanupSockets());
    EXPECT_TRUE(TcpClient(net::BoundPort(listener)).Connected());
    gateway::DestroyServerSocket(listener);
    gateway::DestroyServerSocket(gateway::kInvalidSocket);  // only its debugger line
}

TEST(SocketLayer, LocalHostNames) {
    EXPECT_TRUE(gateway::IsLocalHost("localhost"));
    EXPECT_TRUE(gateway::IsLocalHost("127.0.0.1"));
    EXPECT_TRUE(gateway::IsLocalHost("::1"));  // an address needs no IPv6 on the machine
    EXPECT_TRUE(gateway::IsLocalHost("::ffff:127.0.0.1"));
    EXPECT_FALSE(gateway::IsLocalHost("no-such-host.invalid"));
    EXPECT_FALSE(gateway::IsLocalHost("192.0.2.1"));
    EXPECT_FALSE(gateway::IsLocalHost("2001:db8::1"));
    // This machine's own IPv6 addresses, where it has any besides ::1.
    for (const gateway::IpAddress& own : net::InterfaceAddresses()) {
        if (own.IsIpv4() || own == gateway::IpAddress::Ipv6Loopback() ||
            (own.bytes[0] == 0xFE && (own.bytes[1] & 0xC0) == 0x80))  // link-local needs a zone
            continue;
        EXPECT_TRUE(gateway::IsLocalHost(gateway::FormatIpAddress(own).c_str()))
            << gateway::FormatIpAddress(own);
    }
}

// Every interface of both families by default; one address of one family when it is named.
TEST(SocketLayer, ListeningSocketOfBothFamiliesOrOfTheBoundAddressOnly) {
    if (!gateway_test::HasIpv6Loopback())
        GTEST_SKIP() << "this machine has no IPv6 on its loopback interface";

    const int both = gateway::CreateServerSocket(0).Value();
    ASSERT_NE(both, gateway::kInvalidSocket);
    EXPECT_TRUE(TcpClient(net::BoundPort(both)).Connected());
    EXPECT_TRUE(TcpClient(net::BoundPort(both), gateway::IpAddress::Ipv6Loopback()).Connected());
    // The port is taken for both families.
    const auto taken = gateway::CreateServerSocket(net::BoundPort(both));
    ASSERT_FALSE(taken.Ok());
    EXPECT_EQ(taken.Why().words,
              "TCP port " + std::to_string(net::BoundPort(both)) + " is in use by another program");
    EXPECT_FALSE(gateway::CreateServerSocket(net::BoundPort(both), vr620_test::kLoopback4).Ok());
    gateway::DestroyServerSocket(both);

    const int only6 = gateway::CreateServerSocket(0, gateway::IpAddress::Ipv6Loopback()).Value();
    ASSERT_NE(only6, gateway::kInvalidSocket);
    EXPECT_TRUE(TcpClient(net::BoundPort(only6), gateway::IpAddress::Ipv6Loopback()).Connected());
    EXPECT_FALSE(TcpClient(net::BoundPort(only6)).Connected());
    gateway::DestroyServerSocket(only6);
}

}  // namespace
