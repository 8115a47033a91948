// The gateway server over real TCP on 127.0.0.1, without opening the device: framing limits,
// unknown, short and empty messages, the client limit, clients that stall, never read, fall
// silent or vanish, the bind address and the allow-list, start and stop.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>

#include "gateway_harness.h"
#include "socket_layer.h"

namespace {

using gateway_test::Bytes;
using gateway_test::Framed;
using gateway_test::ServerRun;
using gateway_test::TcpClient;
using gateway_test::WaitUntil;

// A connection from `source` to `destination` (IPv4, host byte order), with small socket
// buffers when `buffer` is given and receives bounded to 10 s; -1 when it cannot be made.
int ConnectFrom(std::uint32_t source, std::uint32_t destination, int port, int buffer = 0) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval bound{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    if (buffer > 0) {
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(source);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    address.sin_addr.s_addr = htonl(destination);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

constexpr std::uint32_t kLoopback = 0x7F000001;  // 127.0.0.1

class Server : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(run.started); }
    // Where in the log `text` stands first, or the end.
    std::size_t LogIndex(const std::string& text) const {
        auto texts = run.log.Texts();
        return std::find(texts.begin(), texts.end(), text) - texts.begin();
    }
    // The server's socket number of the client that connected last (from its log line).
    int LastConnectedNumber() const {
        int number = -1;
        for (const auto& text : run.log.Texts())
            std::sscanf(text.c_str(), "Client on %d connected", &number);
        return number;
    }
    // Connects and waits until the server has the client in its table.
    std::unique_ptr<TcpClient> Connect() {
        unsigned before = gateway::GetClientCount();
        auto client = std::make_unique<TcpClient>(run.port);
        EXPECT_TRUE(client->Connected());
        EXPECT_TRUE(WaitUntil([&] { return gateway::GetClientCount() == before + 1; }));
        return client;
    }
    ServerRun run;
};

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
    EXPECT_EQ(gateway::OpenCount(), 0);
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
    EXPECT_EQ(gateway::OpenCount(), 0);
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

TEST_F(Server, ClientThatNeverReadsHoldsUpNobodyAndIsDroppedAfterTheBound) {
    int deaf = ConnectFrom(kLoopback, kLoopback, run.port, 4096);
    ASSERT_GE(deaf, 0);
    ASSERT_TRUE(WaitUntil([] { return gateway::GetClientCount() == 1; }));
    int number = LastConnectedNumber();
    auto other = Connect();
    // Requests whose echoes it never reads, until the gateway stops taking them: its reply is
    // stuck then.
    const Bytes request = Framed(Bytes(4096, 0x41));
    bool stuck = false;
    std::size_t offset = 0;
    for (int i = 0; i < 20000 && !stuck;) {
        ssize_t sent = send(deaf, request.data() + offset, request.size() - offset,
                            MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent > 0) {
            offset = (offset + static_cast<std::size_t>(sent)) % request.size();
            i += offset == 0;
            continue;
        }
        ASSERT_EQ(errno, EAGAIN);
        pollfd writable{deaf, POLLOUT, 0};
        stuck = poll(&writable, 1, 300) == 0;
    }
    ASSERT_TRUE(stuck);
    std::string dropped =
        "Error in sending data to client on " + std::to_string(number) + "! Connection closed...";
    for (std::uint8_t i = 1; i <= 5; ++i)
        ASSERT_EQ(other->Exchange(Framed({i})), (Bytes{0, 0, 0, 1, i}));
    EXPECT_EQ(run.log.Count(dropped), 0);
    EXPECT_TRUE(run.log.WaitFor(dropped));
    EXPECT_TRUE(WaitUntil([] { return gateway::GetClientCount() == 1; }));
    close(deaf);
    EXPECT_EQ(other->Exchange(Framed({0x45})), (Bytes{0, 0, 0, 1, 0x45}));
}

TEST_F(Server, ClientGoneBeforeItsReplyIsNoSignal) {
    auto client = Connect();
    int number = LastConnectedNumber();
    // A burst of requests, then a reset: the replies meet a dead connection.
    Bytes burst;
    for (int i = 0; i < 20; ++i) {
        Bytes one = Framed(Bytes(1000, 0x41));
        burst.insert(burst.end(), one.begin(), one.end());
    }
    ASSERT_TRUE(client->Send(burst));
    linger reset{1, 0};
    setsockopt(client->Fd(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    client->Close();
    EXPECT_TRUE(WaitUntil([] { return gateway::GetClientCount() == 0; }));
    std::string prefix = "on " + std::to_string(number);
    bool logged = false;
    for (const auto& t : run.log.Texts())
        logged |= t.find(prefix) != std::string::npos && t.find("Unknown") == std::string::npos;
    EXPECT_TRUE(logged);
    auto next = Connect();
    EXPECT_EQ(next->Exchange(Framed({0x46})), (Bytes{0, 0, 0, 1, 0x46}));
}

TEST_F(Server, StopWithClientsConnectedClosesThemAndEndsInOrder) {
    auto a = Connect();
    auto b = Connect();
    EXPECT_TRUE(gateway::StopGatewayServer());
    EXPECT_EQ(gateway::GetClientCount(), 0u);
    EXPECT_FALSE(gateway::GatewayServerRunning());
    EXPECT_TRUE(a->WaitClosed());
    EXPECT_TRUE(b->WaitClosed());
    auto texts = run.log.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "Exiting server thread...");
    // A stopped server can be started again.
    ASSERT_TRUE(gateway::StartGatewayServer(gateway_test::AnyPort()));
    TcpClient c(gateway::GatewayServerPort());
    EXPECT_EQ(c.Exchange(Framed({0x47})), (Bytes{0, 0, 0, 1, 0x47}));
}

TEST(ServerPortInUse, TheStartFailsWithTheOneLogLine) {
    int occupant = gateway::CreateServerSocket(0);
    ASSERT_NE(occupant, gateway::kInvalidSocket);
    gateway_test::CollectingReceiver log;
    gateway::SetLogWindow(&log);
    gateway::ServerConfig config;
    config.port = gateway::BoundPort(occupant);
    EXPECT_FALSE(gateway::StartGatewayServer(config));
    EXPECT_FALSE(gateway::GatewayServerRunning());
    EXPECT_EQ(log.Texts(),
              (std::vector<std::string>{
                  "Log window activated (0x00c0ffee)",
                  "Error in creating server connection! Terminating the application...",
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

TEST(ServerAccess, OnlyTheBindAddressListensAndOnlyAllowedSourcesAreServed) {
    constexpr std::uint32_t kBound = 0x7F000002;    // 127.0.0.2
    constexpr std::uint32_t kAllowed = 0x7F000003;  // 127.0.0.3
    constexpr std::uint32_t kOther = 0x7F000004;    // 127.0.0.4
    gateway::ServerConfig config = gateway_test::AnyPort();
    config.bindAddress = kBound;
    config.allowed = {*gateway::ParseIpv4Network("10.0.0.0/8"),
                      *gateway::ParseIpv4Network("127.0.0.3")};
    ServerRun run(config);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(ConnectFrom(kLoopback, kLoopback, run.port), -1);

    int allowed = ConnectFrom(kAllowed, kBound, run.port);
    ASSERT_GE(allowed, 0);
    const Bytes request = Framed({0x49});
    ASSERT_EQ(send(allowed, request.data(), request.size(), MSG_NOSIGNAL), 5);
    std::uint8_t reply[5] = {};
    EXPECT_EQ(recv(allowed, reply, sizeof reply, MSG_WAITALL), 5);
    EXPECT_EQ(reply[4], 0x49);

    int other = ConnectFrom(kOther, kBound, run.port);
    ASSERT_GE(other, 0);
    std::uint8_t byte = 0;
    EXPECT_EQ(recv(other, &byte, 1, 0), 0);  // closed at once, unserved
    EXPECT_TRUE(WaitUntil([&] {
        for (const auto& text : run.log.Texts()) {
            if (text.find(" from 127.0.0.4 refused, address not allowed! Connection closed...") !=
                std::string::npos)
                return true;
        }
        return false;
    }));
    EXPECT_EQ(gateway::GetClientCount(), 1u);
    close(other);
    close(allowed);
}

}  // namespace
