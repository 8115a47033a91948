// The client's message I/O over a real TCP connection on 127.0.0.1: the length field, the
// capacity and its top bit, messages in pieces, stalls and a peer that has gone. On the socket
// seam alone, so it runs on Windows too.
#include "gateway_messages.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <thread>

#include "gateway_harness.h"
#include "message_format.h"
#include "socket_layer.h"

namespace {

namespace net = gateway::net;
using gateway_test::Bytes;
using gateway_test::TcpClient;
using namespace std::chrono_literals;

// A connected pair over 127.0.0.1: the test's client and the accepted server side.
class SocketPair : public ::testing::Test {
  protected:
    void SetUp() override {
        listener = gateway::CreateServerSocket(0).Value();
        ASSERT_NE(listener, gateway::kInvalidSocket);
        client = std::make_unique<TcpClient>(net::BoundPort(listener));
        ASSERT_TRUE(client->Connected());
        net::PollEntry waiting{listener, net::kPollReadable, 0};
        ASSERT_EQ(net::Poll({&waiting, 1}, 10000), 1);
        gateway::IpAddress peer;
        server = net::AcceptConnection(listener, peer);
        ASSERT_NE(server, gateway::kInvalidSocket);
    }
    void TearDown() override {
        net::CloseSocket(server);
        client.reset();
        gateway::DestroyServerSocket(listener);
    }
    static vr620::Deadline In(std::chrono::milliseconds time = 10s) {
        return std::chrono::steady_clock::now() + time;
    }
    int listener = gateway::kInvalidSocket;
    int server = gateway::kInvalidSocket;
    std::unique_ptr<TcpClient> client;
    std::array<std::uint8_t, gateway::kMaxBodySize + 1> buffer{};
};

TEST_F(SocketPair, SendPutsTheLengthFieldInFront) {
    EXPECT_EQ(vr620::SendGatewayMessage(server, nullptr, 0, In()), 4);
    EXPECT_EQ(client->Receive(4), (Bytes{0, 0, 0, 0}));
    Bytes body(258, 0x5A);
    EXPECT_EQ(vr620::SendGatewayMessage(server, body.data(), 258, In()), 262);
    Bytes got = client->Receive(262);
    ASSERT_EQ(got.size(), 262u);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 4), (Bytes{0, 0, 1, 2}));
    EXPECT_EQ(vr620::SendGatewayMessage(server, body.data(), -1, In()), vr620::kResultBadLength);
    EXPECT_EQ(vr620::SendGatewayMessage(gateway::kInvalidSocket, body.data(), 1, In()),
              vr620::kResultInvalidSocket);
}

TEST_F(SocketPair, FullBufferAcceptedOneMoreRefusedUnread) {
    Bytes body(4096, 0x41);
    ASSERT_TRUE(client->Send(gateway_test::Framed(body)));
    EXPECT_EQ(vr620::ReceiveGatewayMessage(server, buffer.data(), 4096, In()), 4096);
    EXPECT_EQ(buffer[4095], 0x41);
    EXPECT_EQ(buffer[4096], 0);
    ASSERT_TRUE(client->Send(Bytes{0x00, 0x00, 0x10, 0x01, 0x42}));
    EXPECT_EQ(vr620::ReceiveGatewayMessage(server, buffer.data(), 4096, In()),
              vr620::kResultBadLength);
    // The body was left where it was.
    std::uint8_t next = 0;
    EXPECT_EQ(net::ReceiveBytes(server, &next, 1), 1);
    EXPECT_EQ(next, 0x42);
}

TEST_F(SocketPair, LengthWithTheTopBitSetIsRefused) {
    ASSERT_TRUE(client->Send(Bytes{0x80, 0x00, 0x00, 0x05, 0x00, 0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(vr620::ReceiveGatewayMessage(server, buffer.data(), 4096, In()),
              vr620::kResultBadLength);
    ASSERT_TRUE(client->Send(Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(vr620::ReceiveGatewayMessage(server, buffer.data(), 4096, In()),
              vr620::kResultBadLength);
}

TEST_F(SocketPair, MessageInPiecesIsReceivedWhole) {
    std::thread sender([this] {
        Bytes message = gateway_test::Framed({0x00, 0x04, 0x01, 0x02, 0x00, 0x12, 0x34});
        for (std::uint8_t byte : message) {
            client->Send(Bytes{byte});
            std::this_thread::sleep_for(3ms);
        }
    });
    int got = vr620::ReceiveGatewayMessage(server, buffer.data(), 4096, In());
    sender.join();
    EXPECT_EQ(got, 7);
    EXPECT_EQ(buffer[6], 0x34);
    EXPECT_EQ(buffer[7], 0);
}

TEST_F(SocketPair, ZeroLengthBodyIsAMessage) {
    buffer[0] = 0x55;
    ASSERT_TRUE(client->Send(Bytes{0, 0, 0, 0}));
    EXPECT_EQ(vr620::ReceiveGatewayMessage(server, buffer.data(), 4096, In()), 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST_F(SocketPair, StalledMessageGivesUpAfterTheBound) {
    ASSERT_TRUE(client->Send(Bytes{0x00, 0x00, 0x00, 0x05, 0x00, 0x01}));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(vr620::ReceiveGatewayMessage(server, buffer.data(), 4096, In(200ms)),
              vr620::kResultStalled);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 190ms);
}

TEST_F(SocketPair, PeerThatHasGoneIsAResultNotASignal) {
    client->Close();
    EXPECT_EQ(vr620::ReceiveGatewayMessage(server, buffer.data(), 4096, In()),
              vr620::kResultConnectionReset);
    // Sending into the closed connection soon fails with a reset or a broken pipe; without
    // MSG_NOSIGNAL the second send would end this process.
    Bytes body(1000, 1);
    int result = 0;
    for (int i = 0; i < 100 && result >= 0; ++i) {
        result = vr620::SendGatewayMessage(server, body.data(), 1000, In());
    }
    EXPECT_EQ(result, vr620::kResultConnectionReset);
    EXPECT_EQ(vr620::ReceiveGatewayMessage(gateway::kInvalidSocket, buffer.data(), 4096, In()),
              vr620::kResultInvalidSocket);
}

}  // namespace
