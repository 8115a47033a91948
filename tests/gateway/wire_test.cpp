// The wire format, the message receiver, the access list, the modem texts and the socket layer
// over real TCP on 127.0.0.1.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "access_list.h"
#include "gateway_harness.h"
#include "message_format.h"
#include "message_receiver.h"
#include "modem_texts.h"
#include "socket_layer.h"

namespace {

using gateway_test::Bytes;
using gateway_test::TcpClient;
using namespace std::chrono_literals;

TEST(MessageFormat, LengthFieldIsBigEndian) {
    auto field = gateway::EncodeLength(258);
    EXPECT_EQ(Bytes(field.begin(), field.end()), (Bytes{0x00, 0x00, 0x01, 0x02}));
    EXPECT_EQ(gateway::DecodeLength(field), 258u);
    std::array<std::uint8_t, 4> top{0x80, 0, 0, 0};
    EXPECT_EQ(gateway::DecodeLength(top), 0x80000000u);
}

TEST(MessageFormat, RequestAndReplyBodies) {
    Bytes value{0x12, 0x34};
    EXPECT_EQ(gateway::BuildRequestBody(gateway::kSnvtWrite, 0x0102, value),
              (Bytes{0x00, 0x04, 0x01, 0x02, 0x00, 0x12, 0x34}));
    Bytes body{0x00, 0x03, 0x01, 0x02, 0x00, 0xAA, 0xBB};
    auto reply = gateway::ParseReplyBody(body);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->code, gateway::kSnvtRead);
    EXPECT_EQ(reply->snvt, 0x0102);
    EXPECT_TRUE(reply->Ok());
    EXPECT_EQ(reply->data, (Bytes{0xAA, 0xBB}));
    EXPECT_FALSE(gateway::ParseReplyBody(Bytes{0x00, 0x03, 0x01, 0x02}));
}

TEST(MessageReceiver, GathersPiecesStopsAtTheEndOfAMessageAndRefusesOversize) {
    using State = gateway::MessageReceiver::State;
    gateway::MessageReceiver receiver;
    Bytes stream = gateway_test::Framed({0x00, 0x04, 0x01, 0x02, 0x00, 0x12, 0x34});
    stream.insert(stream.end(), {0, 0, 0, 0});  // an empty message behind it
    std::size_t pos = 0;
    while (receiver.GetState() != State::kComplete && pos < stream.size()) {
        EXPECT_EQ(receiver.InMessage(), pos > 0);
        pos += receiver.Feed({stream.data() + pos, 1});
    }
    EXPECT_EQ(pos, 11u);
    EXPECT_EQ(receiver.BodyLength(), 7);
    EXPECT_EQ(receiver.Buffer()[6], 0x34);
    EXPECT_EQ(receiver.Buffer()[7], 0);
    receiver.Next();
    EXPECT_EQ(receiver.Feed({stream.data() + pos, stream.size() - pos}), 4u);
    EXPECT_EQ(receiver.GetState(), State::kComplete);
    EXPECT_EQ(receiver.BodyLength(), 0);
    // Above the buffer, the top bit among them: refused once the field is in, the body unread.
    for (Bytes field : {Bytes{0x00, 0x00, 0x10, 0x01, 0x42}, Bytes{0x80, 0x00, 0x00, 0x05, 0x00}}) {
        receiver.Next();
        EXPECT_EQ(receiver.Feed(field), 4u);
        EXPECT_EQ(receiver.GetState(), State::kTooLong);
        EXPECT_EQ(receiver.Feed(field), 0u);
    }
    receiver.Next();
    Bytes full = gateway_test::Framed(Bytes(4096, 0x41));
    EXPECT_EQ(receiver.Feed(full), full.size());
    EXPECT_EQ(receiver.GetState(), State::kComplete);
}

TEST(AccessList, NetworksAddressesAndWhatIsRefused) {
    auto lan = gateway::ParseIpv4Network("192.168.10.5/24");  // host bits do not matter
    ASSERT_TRUE(lan);
    EXPECT_TRUE(lan->Contains(*gateway::ParseIpv4Address("192.168.10.77")));
    EXPECT_FALSE(lan->Contains(*gateway::ParseIpv4Address("192.168.11.1")));
    auto host = gateway::ParseIpv4Network("10.1.2.3");
    ASSERT_TRUE(host);
    EXPECT_EQ(host->prefixBits, 32);
    EXPECT_FALSE(host->Contains(0x0A010204));
    EXPECT_TRUE(gateway::ParseIpv4Network("0.0.0.0/0")->Contains(0xC0000201));
    EXPECT_TRUE(gateway::Allowed({}, 0xC0000201));
    EXPECT_FALSE(gateway::Allowed({*host, *lan}, 0x7F000001));
    for (const char* bad : {"", "1.2.3", "1.2.3.4/33", "1.2.3.4/", "1.2.3.4/-1", "1.2.3.4/+8",
                            "256.1.1.1", "gateway-host", "1.2.3.4/8x", " 1.2.3.4"})
        EXPECT_FALSE(gateway::ParseIpv4Network(bad)) << bad;
    EXPECT_EQ(gateway::FormatIpv4Address(0x7F000004), "127.0.0.4");
}

TEST(ModemStrings, CarriageReturnThenLineFeedEscapesOnly) {
    EXPECT_EQ(modem_texts::ConvertEscapes(modem_texts::kDefaultInit), "ATE0S0=1\r;AT&W\r");
    EXPECT_EQ(modem_texts::ConvertEscapes(modem_texts::kDefaultHangup), ";+++;ATH\r");
    EXPECT_EQ(modem_texts::ConvertEscapes("a\\nb\\R\\x\\"), "a\nb\\R\\x\\");
    // "\r" first: the backslash it leaves behind does not form "\n" with what follows.
    EXPECT_EQ(modem_texts::ConvertEscapes("\\\\rn"), "\\\rn");
}

TEST(SocketLayer, StartsAndCleanUpsAreCounted) {
    unsigned before = gateway::SocketStartCount();
    EXPECT_TRUE(gateway::StartSockets());
    EXPECT_TRUE(gateway::StartSockets());
    EXPECT_EQ(gateway::SocketStartCount(), before + 2);
    EXPECT_TRUE(gateway::CleanupSockets());
    EXPECT_TRUE(gateway::CleanupSockets());
    EXPECT_EQ(gateway::SocketStartCount(), before);
    gateway::DestroyServerSocket(gateway::kInvalidSocket);  // only its debugger line
}

TEST(SocketLayer, LocalHostNames) {
    EXPECT_TRUE(gateway::IsLocalHost("localhost"));
    EXPECT_TRUE(gateway::IsLocalHost("127.0.0.1"));
    EXPECT_FALSE(gateway::IsLocalHost("no-such-host.invalid"));
    EXPECT_FALSE(gateway::IsLocalHost("192.0.2.1"));
}

// A connected pair over 127.0.0.1: the test's client and the accepted server side.
class SocketPair : public ::testing::Test {
  protected:
    void SetUp() override {
        listener = gateway::CreateServerSocket(0);
        ASSERT_NE(listener, gateway::kInvalidSocket);
        client = std::make_unique<TcpClient>(gateway::BoundPort(listener));
        ASSERT_TRUE(client->Connected());
        server = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        ASSERT_GE(server, 0);
    }
    void TearDown() override {
        if (server >= 0) close(server);
        client.reset();
        gateway::DestroyServerSocket(listener);
    }
    int listener = gateway::kInvalidSocket;
    int server = -1;
    std::unique_ptr<TcpClient> client;
    std::array<std::uint8_t, gateway::kMaxBodySize + 1> buffer{};
};

TEST_F(SocketPair, SendPutsTheLengthFieldInFront) {
    EXPECT_EQ(gateway::SendGatewayMessage(server, nullptr, 0), 4);
    EXPECT_EQ(client->Receive(4), (Bytes{0, 0, 0, 0}));
    Bytes body(258, 0x5A);
    EXPECT_EQ(gateway::SendGatewayMessage(server, body.data(), 258), 262);
    Bytes got = client->Receive(262);
    ASSERT_EQ(got.size(), 262u);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 4), (Bytes{0, 0, 1, 2}));
    EXPECT_EQ(gateway::SendGatewayMessage(server, body.data(), -1), gateway::kResultBadLength);
    EXPECT_EQ(gateway::SendGatewayMessage(gateway::kInvalidSocket, body.data(), 1),
              gateway::kResultInvalidSocket);
}

TEST_F(SocketPair, FullBufferAcceptedOneMoreRefusedUnread) {
    Bytes body(4096, 0x41);
    ASSERT_TRUE(client->Send(gateway_test::Framed(body)));
    EXPECT_EQ(gateway::ReceiveGatewayMessage(server, buffer.data(), 4096), 4096);
    EXPECT_EQ(buffer[4095], 0x41);
    EXPECT_EQ(buffer[4096], 0);
    ASSERT_TRUE(client->Send(Bytes{0x00, 0x00, 0x10, 0x01, 0x42}));
    EXPECT_EQ(gateway::ReceiveGatewayMessage(server, buffer.data(), 4096),
              gateway::kResultBadLength);
    // The body was left where it was.
    std::uint8_t next = 0;
    EXPECT_EQ(recv(server, &next, 1, 0), 1);
    EXPECT_EQ(next, 0x42);
}

TEST_F(SocketPair, LengthWithTheTopBitSetIsRefused) {
    ASSERT_TRUE(client->Send(Bytes{0x80, 0x00, 0x00, 0x05, 0x00, 0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(gateway::ReceiveGatewayMessage(server, buffer.data(), 4096),
              gateway::kResultBadLength);
    ASSERT_TRUE(client->Send(Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(gateway::ReceiveGatewayMessage(server, buffer.data(), 4096),
              gateway::kResultBadLength);
}

TEST_F(SocketPair, MessageInPiecesIsReceivedWhole) {
    std::thread sender([this] {
        Bytes message = gateway_test::Framed({0x00, 0x04, 0x01, 0x02, 0x00, 0x12, 0x34});
        for (std::uint8_t byte : message) {
            client->Send(Bytes{byte});
            std::this_thread::sleep_for(3ms);
        }
    });
    int got = gateway::ReceiveGatewayMessage(server, buffer.data(), 4096);
    sender.join();
    EXPECT_EQ(got, 7);
    EXPECT_EQ(buffer[6], 0x34);
    EXPECT_EQ(buffer[7], 0);
}

TEST_F(SocketPair, ZeroLengthBodyIsAMessage) {
    buffer[0] = 0x55;
    ASSERT_TRUE(client->Send(Bytes{0, 0, 0, 0}));
    EXPECT_EQ(gateway::ReceiveGatewayMessage(server, buffer.data(), 4096), 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST_F(SocketPair, StalledMessageGivesUpAfterTheBound) {
    ASSERT_TRUE(client->Send(Bytes{0x00, 0x00, 0x00, 0x05, 0x00, 0x01}));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(gateway::ReceiveGatewayMessage(server, buffer.data(), 4096, 200),
              gateway::kResultStalled);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 190ms);
}

TEST_F(SocketPair, PeerThatHasGoneIsAResultNotASignal) {
    client->Close();
    EXPECT_EQ(gateway::ReceiveGatewayMessage(server, buffer.data(), 4096),
              gateway::kResultConnectionReset);
    // Sending into the closed connection soon fails with a reset or a broken pipe; without
    // MSG_NOSIGNAL the second send would end this process.
    Bytes body(1000, 1);
    int result = 0;
    for (int i = 0; i < 100 && result >= 0; ++i) {
        result = gateway::SendGatewayMessage(server, body.data(), 1000);
    }
    EXPECT_EQ(result, gateway::kResultConnectionReset);
    EXPECT_EQ(gateway::ReceiveGatewayMessage(gateway::kInvalidSocket, buffer.data(), 4096),
              gateway::kResultInvalidSocket);
}

}  // namespace
