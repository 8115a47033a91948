// The gateway server over real TCP on 127.0.0.1 with socket options that only the POSIX tests
// set: a client that never reads its replies (small socket buffers) and one that resets its
// connection before its replies (SO_LINGER 0).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "gateway_harness.h"

namespace {

using gateway_test::Bytes;
using gateway_test::Framed;
using gateway_test::WaitUntil;
using Server = gateway_test::ServerFixture;

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

TEST_F(Server, ClientThatNeverReadsHoldsUpNobodyAndIsDroppedAfterTheBound) {
    int deaf = ConnectFrom(kLoopback, kLoopback, run.port, 4096);
    ASSERT_GE(deaf, 0);
    ASSERT_TRUE(
        WaitUntil([&] { return gateway::GetClientCount() == 1 && LastConnectedNumber() != -1; }));
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

}  // namespace
