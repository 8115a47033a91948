// The gateway server over real TCP on the loopback interface, without opening the device:
// framing limits, unknown, short and empty messages, the client limit, clients that stall, fall
// silent or vanish, the bind address and the allow-list of both families, start and stop. On
// the socket seam alone, so that it runs on Windows too (WSAPoll, the socket-pair wake-up).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "gateway_harness.h"

namespace {

using gateway_test::Bytes;
using gateway_test::Framed;
using gateway_test::ServerRun;
using gateway_test::TcpClient;
using gateway_test::WaitUntil;

using Server = gateway_test::ServerFixture;

TEST_F(Server, UnknownCodesAreEchoedUpToTheFirstZeroByte) {
    auto client = Connect();
    EXPECT_EQ(client->Exchange(Framed({0x41, 0x42, 0x43})), (Bytes{0, 0, 0, 3, 0x41, 0x42, 0x43}));
    EXPECT_EQ(client->Exchange(Framed({0x41, 0x42, 0x00, 0x44, 0x00})),
              (Bytes{0, 0, 0, 2, 0x41, 0x42}));
    // Code 0, and an unknown code whose first byte is 0, get the empty reply.
    EXPECT_EQ(client->Exchange(Framed({0x00, 0x00, 0x00, 0x00, 0x00})), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(client->Exchange(Framed({0x00, 0x05, 0x01, 0x02, 0x00})), (Bytes{0, 0, 0, 0}));
    std::string line =
        "Unknown message received from client on " + std::to_string(LastConnectedNumber());
    EXPECT_EQ(run.log.Count(line), 4);
}

TEST_F(Server, CommandsWithoutAnOpenDevice) {
    auto client = Connect();
    // Read before connect: ERROR, five bytes; the request's status byte is ignored.
    EXPECT_EQ(client->Exchange(Framed({0x00, 0x03, 0x01, 0x02, 0x00})),
              (Bytes{0, 0, 0, 5, 0x00, 0x03, 0x01, 0x02, 0xFF}));
    EXPECT_EQ(client->Exchange(Framed({0x00, 0x04, 0x01, 0x02, 0xFF, 0x12, 0x34})),
              (Bytes{0, 0, 0, 5, 0x00, 0x04, 0x01, 0x02, 0xFF}));
    // Disconnect at count 0 answers OK.
    EXPECT_EQ(client->Exchange(Framed({0x00, 0x02, 0x00, 0x00, 0x00})),
              (Bytes{0, 0, 0, 5, 0x00, 0x02, 0x00, 0x00, 0x00}));
    EXPECT_FALSE(gateway_test::DeviceHeld());
    int number = LastConnectedNumber();
    EXPECT_EQ(run.log.Count("SNVT_READ command received from client on " + std::to_string(number) +
                            " -> ERROR"),
              1);
    EXPECT_EQ(run.log.Count("DEVICE_DISCONNECT command received from client on " +
                            std::to_string(number) + " -> OK"),
              1);
}

TEST_F(Server, ShortBodiesNeverCarryBytesOfAnEarlierMessage) {
    auto client = Connect();
    EXPECT_EQ(client->Exchange(Framed({0x41, 0x42, 0x43, 0x44, 0x45, 0x46})).size(), 10u);
    // A known code with missing header bytes: ERROR, the missing bytes as zero.
    EXPECT_EQ(client->Exchange(Framed({0x00, 0x03, 0x07})),
              (Bytes{0, 0, 0, 5, 0x00, 0x03, 0x07, 0x00, 0xFF}));
    EXPECT_EQ(client->Exchange(Framed({0x00, 0x01})),
              (Bytes{0, 0, 0, 5, 0x00, 0x01, 0x00, 0x00, 0xFF}));
    EXPECT_EQ(client->Exchange(Framed({0x00, 0x04, 0x01, 0x02})),
              (Bytes{0, 0, 0, 5, 0x00, 0x04, 0x01, 0x02, 0xFF}));
    EXPECT_FALSE(gateway_test::DeviceHeld());
    // Too short for a code: the unknown-message rule.
    EXPECT_EQ(client->Exchange(Framed({0x41})), (Bytes{0, 0, 0, 1, 0x41}));
    EXPECT_EQ(client->Exchange(Framed({0x00})), (Bytes{0, 0, 0, 0}));
}

TEST_F(Server, AnEmptyBodyGetsTheEmptyReplyWhateverCameBefore) {
    auto reader = Connect();
    auto other = Connect();
    const Bytes read = Framed({0x00, 0x03, 0x01, 0x02, 0x00});
    ASSERT_EQ(reader->Exchange(read), (Bytes{0, 0, 0, 5, 0x00, 0x03, 0x01, 0x02, 0xFF}));
    EXPECT_EQ(other->Exchange({0, 0, 0, 0}), (Bytes{0, 0, 0, 0}));
    ASSERT_EQ(reader->Exchange(read).size(), 9u);
    EXPECT_EQ(reader->Exchange({0, 0, 0, 0}), (Bytes{0, 0, 0, 0}));
    // The connection stays.
    EXPECT_EQ(other->Exchange(Framed({0x41, 0x42})), (Bytes{0, 0, 0, 2, 0x41, 0x42}));
    EXPECT_EQ(gateway::GetClientCount(), 2u);
}

TEST_F(Server, BodyOfTheBufferSizeIsServedOneMoreClosesTheConnection) {
    auto client = Connect();
    Bytes body(4096, 0x41);
    Bytes reply = client->Exchange(Framed(body));
    ASSERT_EQ(reply.size(), 4100u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 4), (Bytes{0, 0, 0x10, 0x00}));
    int number = LastConnectedNumber();
    ASSERT_TRUE(client->Send(Framed(Bytes(4097, 0x41))));
    EXPECT_TRUE(client->WaitClosed());
    EXPECT_TRUE(run.log.WaitFor("Received data from client on " + std::to_string(number) +
                                " does not fit to the buffer! Connection closed..."));
    EXPECT_TRUE(WaitUntil([] { return gateway::GetClientCount() == 0; }));
}

TEST_F(Server, LengthFieldWithTheTopBitSetClosesWithoutReadingABody) {
    auto client = Connect();
    int number = LastConnectedNumber();
    ASSERT_TRUE(client->Send({0x80, 0x00, 0x00, 0x05, 0x00, 0x01, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(client->WaitClosed());
    EXPECT_TRUE(run.log.WaitFor("Received data from client on " + std::to_string(number) +
                                " does not fit to the buffer! Connection closed..."));
}

TEST_F(Server, ClientThatLeavesIsLoggedAndTheOthersKeepTheirOrder) {
    auto a = Connect();
    auto b = Connect();
    int numberB = LastConnectedNumber();
    auto c = Connect();
    b->Close();
    EXPECT_TRUE(run.log.WaitFor("Client on " + std::to_string(numberB) + " disconnected"));
    EXPECT_TRUE(WaitUntil([] { return gateway::GetClientCount() == 2; }));
    // Both remaining clients send at once and each gets its own reply.
    ASSERT_TRUE(a->Send(Framed({0x41, 0x41})));
    ASSERT_TRUE(c->Send(Framed({0x43, 0x43, 0x43})));
    EXPECT_EQ(c->ReceiveMessage(), (Bytes{0, 0, 0, 3, 0x43, 0x43, 0x43}));
    EXPECT_EQ(a->ReceiveMessage(), (Bytes{0, 0, 0, 2, 0x41, 0x41}));
}

TEST_F(Server, SixtyFourClientsAreServedTheSixtyFifthIsClosed) {
    std::vector<std::unique_ptr<TcpClient>> clients;
    for (int i = 0; i < 64; ++i) clients.push_back(Connect());
    EXPECT_EQ(gateway::GetClientCount(), 64u);
    TcpClient extra(run.port);
    ASSERT_TRUE(extra.Connected());
    EXPECT_TRUE(extra.WaitClosed());
    EXPECT_TRUE(WaitUntil([&] {
        for (const auto& t : run.log.Texts()) {
            if (t.find("refused, already 64 clients connected! Connection closed...") !=
                std::string::npos)
                return true;
        }
        return false;
    }));
    EXPECT_EQ(gateway::GetClientCount(), 64u);
    for (auto& client : clients) {
        ASSERT_EQ(client->Exchange(Framed({0x41})), (Bytes{0, 0, 0, 1, 0x41}));
    }
    // A place that comes free is taken by the next client.
    clients.front()->Close();
    EXPECT_TRUE(WaitUntil([] { return gateway::GetClientCount() == 63; }));
    auto again = Connect();
    EXPECT_EQ(again->Exchange(Framed({0x42})), (Bytes{0, 0, 0, 1, 0x42}));
}

TEST_F(Server, HalfAMessageHoldsUpNobodyAndIsDroppedAfterTheBound) {
    auto stalled = Connect();
    int number = LastConnectedNumber();
    auto other = Connect();
    std::string served =
        "Unknown message received from client on " + std::to_string(LastConnectedNumber());
    ASSERT_TRUE(stalled->Send({0x00, 0x00, 0x00, 0x05, 0x00}));
    for (std::uint8_t i = 1; i <= 5; ++i)
        ASSERT_EQ(other->Exchange(Framed({i})), (Bytes{0, 0, 0, 1, i}));
    std::string dropped = "Client on " + std::to_string(number) +
                          " stopped in the middle of a message! Connection closed...";
    EXPECT_TRUE(stalled->WaitClosed());
    ASSERT_TRUE(run.log.WaitFor(dropped));
    // Every request of the other client was answered while the stalled one still held its
    // place.
    auto texts = run.log.Texts();
    EXPECT_LT(std::find_end(texts.begin(), texts.end(), &served, &served + 1) - texts.begin(),
              static_cast<std::ptrdiff_t>(LogIndex(dropped)));
    EXPECT_EQ(run.log.Count(served), 5);
    EXPECT_EQ(other->Exchange(Framed({0x45})), (Bytes{0, 0, 0, 1, 0x45}));
}

TEST_F(Server, StopWithClientsConnectedClosesThemAndEndsInOrder) {
    auto a = Connect();
    auto b = Connect();
    EXPECT_TRUE(gateway::StopGatewayServer());
    EXPECT_EQ(gateway::GetClientCount(), 0u);
    EXPECT_FALSE(gateway_test::Accepts(run.port));
    EXPECT_TRUE(a->WaitClosed());
    EXPECT_TRUE(b->WaitClosed());
    auto texts = run.log.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "Exiting server thread...");
    // A stopped server can be started again.
    ASSERT_TRUE(gateway::StartGatewayServer(gateway_test::AnyPort()).Ok());
    TcpClient c(gateway_test::ListeningPort(run.log));
    EXPECT_EQ(c.Exchange(Framed({0x47})), (Bytes{0, 0, 0, 1, 0x47}));
}

TEST(ServerPortInUse, TheStartFailsWithTheLogLineAndTheReason) {
    int occupant = gateway::CreateServerSocket(0).Value();
    ASSERT_NE(occupant, gateway::kInvalidSocket);
    gateway_test::CollectingReceiver log;
    gateway::SetLogWindow(&log);
    gateway::ServerConfig config;
    config.port = gateway::net::BoundPort(occupant);
    const auto started = gateway::StartGatewayServer(config);
    ASSERT_FALSE(started.Ok());
    const std::string why =
        "TCP port " + std::to_string(config.port) + " is in use by another program";
    EXPECT_EQ(started.Why().words, why);
    EXPECT_EQ(log.Texts(),
              (std::vector<std::string>{
                  "Log window activated (0x00c0ffee)",
                  "Error in creating server connection! Terminating the application...",
                  why,
              }));
    EXPECT_EQ(gateway::GetClientCount(), 0u);
    EXPECT_TRUE(gateway::StopGatewayServer());
    gateway::SetLogWindow(nullptr);
    gateway::DestroyServerSocket(occupant);
}

TEST(ServerIdleLimit, SilentClientsAreDroppedAfterItAndTheNextIsServed) {
    gateway::ServerConfig config = gateway_test::AnyPort();
    config.idleTimeoutSeconds = 1;
    ServerRun run(config);
    ASSERT_TRUE(run.started);
    std::vector<std::unique_ptr<TcpClient>> idle;
    for (unsigned i = 1; i <= 64; ++i) {
        idle.push_back(std::make_unique<TcpClient>(run.port));
        ASSERT_TRUE(WaitUntil([i] { return gateway::GetClientCount() == i; }));
    }
    TcpClient refused(run.port);
    EXPECT_TRUE(refused.WaitClosed());
    for (auto& client : idle) EXPECT_TRUE(client->WaitClosed());
    int dropped = 0;
    for (const auto& text : run.log.Texts())
        dropped += text.ends_with(" idle for 1 seconds! Connection closed...");
    EXPECT_EQ(dropped, 64);
    TcpClient next(run.port);
    EXPECT_EQ(next.Exchange(Framed({0x48})), (Bytes{0, 0, 0, 1, 0x48}));
}

bool Logged(const ServerRun& run, const std::string& part) {
    return WaitUntil([&] {
        for (const auto& text : run.log.Texts()) {
            if (text.find(part) != std::string::npos) return true;
        }
        return false;
    });
}

TEST(ServerAccess, OnlyTheBindAddressListensAndOnlyAllowedSourcesAreServed) {
    const auto bound = gateway::IpAddress::FromIpv4(0x7F000002);    // 127.0.0.2
    const auto allowed = gateway::IpAddress::FromIpv4(0x7F000003);  // 127.0.0.3
    const auto other = gateway::IpAddress::FromIpv4(0x7F000004);    // 127.0.0.4
    gateway::ServerConfig config = gateway_test::AnyPort();
    config.bindAddress = bound;
    config.allowed = {*gateway::ParseIpNetwork("10.0.0.0/8"),
                      *gateway::ParseIpNetwork("127.0.0.3")};
    ServerRun run(config);
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(TcpClient(run.port).Connected());

    TcpClient served(run.port, bound, allowed);
    ASSERT_TRUE(served.Connected());
    EXPECT_EQ(served.Exchange(Framed({0x49})), (Bytes{0, 0, 0, 1, 0x49}));

    TcpClient refused(run.port, bound, other);
    ASSERT_TRUE(refused.Connected());
    EXPECT_TRUE(refused.WaitClosed());  // closed at once, unserved
    EXPECT_TRUE(Logged(run, " from 127.0.0.4 refused, address not allowed! Connection closed..."));
    EXPECT_EQ(gateway::GetClientCount(), 1u);
}

// The default socket takes both families; an IPv4 entry matches a client that comes over IPv4
// (as ::ffff:127.0.0.1), and every refusal names the client in its own family's form.
TEST(ServerAccess, BothFamiliesOnTheDefaultSocketEachMatchedByItsOwnEntries) {
    if (!gateway_test::HasIpv6Loopback())
        GTEST_SKIP() << "this machine has no IPv6 on its loopback interface";
    const auto v6 = gateway::IpAddress::Ipv6Loopback();
    for (const char* entry : {"127.0.0.0/8", "::1"}) {
        SCOPED_TRACE(entry);
        const bool ipv4Allowed = entry[0] != ':';
        gateway::ServerConfig config = gateway_test::AnyPort();
        config.allowed = {*gateway::ParseIpNetwork(entry)};
        ServerRun run(config);
        ASSERT_TRUE(run.started);
        TcpClient servedClient(run.port, ipv4Allowed ? vr620_test::kLoopback4 : v6);
        EXPECT_EQ(servedClient.Exchange(Framed({0x4A})), (Bytes{0, 0, 0, 1, 0x4A}));
        TcpClient refusedClient(run.port, ipv4Allowed ? v6 : vr620_test::kLoopback4);
        ASSERT_TRUE(refusedClient.Connected());
        EXPECT_TRUE(refusedClient.WaitClosed());
        EXPECT_TRUE(Logged(run, std::string(" from ") + (ipv4Allowed ? "::1" : "127.0.0.1") +
                                    " refused, address not allowed! Connection closed..."));
        EXPECT_EQ(gateway::GetClientCount(), 1u);
    }
}

}  // namespace
