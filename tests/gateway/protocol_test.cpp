// The gateway's pure parts: the wire format, the message receiver, the access list of both
// families, the modem texts and the command handling on a stand-in device. Nothing here does
// I/O, so it runs on every platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "access_list.h"
#include "gateway_harness.h"
#include "message_format.h"
#include "request.h"
#include "message_receiver.h"
#include "modem_texts.h"

namespace {

using gateway_test::Bytes;

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
    EXPECT_EQ(Bytes(receiver.Body().begin(), receiver.Body().end()),
              (Bytes{0x00, 0x04, 0x01, 0x02, 0x00, 0x12, 0x34}));
    receiver.Next();
    EXPECT_EQ(receiver.Feed({stream.data() + pos, stream.size() - pos}), 4u);
    EXPECT_EQ(receiver.GetState(), State::kComplete);
    EXPECT_TRUE(receiver.Body().empty());
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

TEST(AccessList, NetworksOfBothFamiliesAndWhatIsRefused) {
    const auto ip = [](const char* text) { return *gateway::ParseIpAddress(text); };
    auto lan = gateway::ParseIpNetwork("192.168.10.5/24");  // host bits do not matter
    ASSERT_TRUE(lan);
    EXPECT_TRUE(lan->Contains(ip("192.168.10.77")));
    EXPECT_FALSE(lan->Contains(ip("192.168.11.1")));
    auto host = gateway::ParseIpNetwork("10.1.2.3");
    ASSERT_TRUE(host);
    EXPECT_FALSE(host->Contains(gateway::IpAddress::FromIpv4(0x0A010204)));
    EXPECT_TRUE(host->Contains(gateway::IpAddress::FromIpv4(0x0A010203)));
    EXPECT_TRUE(gateway::ParseIpNetwork("0.0.0.0/0")->Contains(ip("192.0.2.1")));
    // An IPv4 entry is no IPv6 network, even /0.
    EXPECT_FALSE(gateway::ParseIpNetwork("0.0.0.0/0")->Contains(ip("fd00::2")));
    EXPECT_TRUE(gateway::Allowed({}, ip("192.0.2.1")));
    EXPECT_FALSE(gateway::Allowed({*host, *lan}, ip("127.0.0.1")));
    // A client that comes over IPv4 to the dual-stack socket matches its IPv4 entry.
    EXPECT_TRUE(lan->Contains(ip("::ffff:192.168.10.9")));
    EXPECT_EQ(ip("::ffff:10.1.2.3"), ip("10.1.2.3"));
    auto ula = gateway::ParseIpNetwork("fd00::/8");
    ASSERT_TRUE(ula);
    EXPECT_TRUE(ula->Contains(ip("fd12:3456::1")));
    EXPECT_FALSE(ula->Contains(ip("fe80::1")));
    EXPECT_FALSE(ula->Contains(ip("::1")));
    EXPECT_TRUE(gateway::ParseIpNetwork("::1")->Contains(ip("::1")));
    EXPECT_FALSE(gateway::ParseIpNetwork("::1")->Contains(ip("::2")));
    EXPECT_TRUE(gateway::ParseIpNetwork("2001:db8:1:2::/63")->Contains(ip("2001:db8:1:3::5")));
    EXPECT_FALSE(gateway::ParseIpNetwork("2001:db8:1:2::/63")->Contains(ip("2001:db8:1:4::5")));
    for (const char* bad : {"", "1.2.3", "1.2.3.4/33", "1.2.3.4/", "1.2.3.4/-1", "1.2.3.4/+8",
                            "256.1.1.1", "gateway-host", "1.2.3.4/8x", " 1.2.3.4", "10.1/8",
                            "::1/129", "fd00::/", "fd00:::1", "fe80::1%eth0", "[::1]", "::1 "})
        EXPECT_FALSE(gateway::ParseIpNetwork(bad)) << bad;
    EXPECT_EQ(gateway::FormatIpAddress(gateway::IpAddress::FromIpv4(0x7F000004)), "127.0.0.4");
    EXPECT_EQ(gateway::FormatIpAddress(ip("::ffff:127.0.0.4")), "127.0.0.4");
    EXPECT_EQ(gateway::FormatIpAddress(ip("fd00:0:0::2")), "fd00::2");
    EXPECT_EQ(gateway::FormatIpAddress(gateway::IpAddress::Ipv6Loopback()), "::1");
}

TEST(ModemStrings, CarriageReturnThenLineFeedEscapesOnly) {
    EXPECT_EQ(modem_texts::ConvertEscapes(modem_texts::kDefaultInit), "ATE0S0=1\r;AT&W\r");
    EXPECT_EQ(modem_texts::ConvertEscapes(modem_texts::kDefaultHangup), ";+++;ATH\r");
    EXPECT_EQ(modem_texts::ConvertEscapes("a\\nb\\R\\x\\"), "a\nb\\R\\x\\");
    // "\r" first: the backslash it leaves behind does not form "\n" with what follows.
    EXPECT_EQ(modem_texts::ConvertEscapes("\\\\rn"), "\\\rn");
}

// Each request is decoded once: what it asks of the device, or what the gateway answers itself;
// the reply is built from the request and what it came to.
TEST(Requests, DecodedOnceAndAnsweredByteForByte) {
    using gateway::Command;
    const auto decode = [](const Bytes& body) { return gateway::DecodeRequest(body); };
    const auto reply = [](const gateway::Request& r, const gateway::DeviceOutcome& outcome) {
        return gateway::EncodeReply(r, outcome);
    };
    const gateway::DeviceOutcome ok = Bytes{};
    const gateway::DeviceOutcome failed =
        common::Failure{common::FailureKind::kNoReply, "no reply"};

    const auto connect = decode({0x00, 0x01, 0x00, 0x00, 0x00});
    EXPECT_EQ(connect.command, Command::kDeviceConnect);
    EXPECT_TRUE(connect.ForDevice());
    EXPECT_EQ(reply(connect, ok), (Bytes{0x00, 0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(reply(connect, failed), (Bytes{0x00, 0x01, 0x00, 0x00, 0xFF}));
    // The request's status byte is ignored.
    const auto read = decode({0x00, 0x03, 0x01, 0x02, 0xFF});
    EXPECT_EQ(read.snvt, 0x0102);
    EXPECT_EQ(reply(read, Bytes{0xAA, 0xBB}), (Bytes{0x00, 0x03, 0x01, 0x02, 0x00, 0xAA, 0xBB}));
    const auto write = decode({0x00, 0x04, 0x01, 0x02, 0x00, 0x12, 0x34});
    EXPECT_EQ(write.value, (Bytes{0x12, 0x34}));
    EXPECT_EQ(reply(write, ok), (Bytes{0x00, 0x04, 0x01, 0x02, 0x00}));

    // A value above the 253 bytes of a device frame and a short command never reach the device:
    // ERROR, with the header's missing bytes as zero.
    Bytes oversize{0x00, 0x04, 0x03, 0x00, 0x00};
    oversize.resize(5 + 254, 0xEE);
    for (const Bytes& refused : {oversize, Bytes{0x00, 0x04, 0x01}}) {
        const auto r = decode(refused);
        ASSERT_TRUE(r.refusal.has_value());
        EXPECT_FALSE(r.ForDevice());
        EXPECT_EQ(reply(r, *r.refusal),
                  (Bytes{0x00, 0x04, refused[2], refused.size() > 3 ? refused[3] : Bytes::value_type{0}, 0xFF}));
    }
    EXPECT_EQ(decode(oversize).refusal->words,
              "value of 254 bytes does not fit a device frame (at most 253)");
    // Unknown codes and the empty body: echoed up to the first zero byte.
    for (const auto& [body, echo] : std::vector<std::pair<Bytes, Bytes>>{
             {{0x41, 0x42, 0x00, 0x43}, {0x41, 0x42}}, {{0x00, 0x05, 0x01, 0x02, 0x00}, {}}, {{}, {}}}) {
        const auto r = decode(body);
        EXPECT_EQ(r.command, Command::kUnknown);
        EXPECT_FALSE(r.ForDevice());
        EXPECT_EQ(r.value, echo);
    }
    // LAST_REASON is the gateway's own: its reply is laid out like a read's.
    const auto last = decode({0x00, 0x10, 0x00, 0x00, 0x00});
    EXPECT_EQ(last.command, Command::kLastReason);
    EXPECT_FALSE(last.ForDevice());
    EXPECT_EQ(reply(last, Bytes{'o', 'k'}), (Bytes{0x00, 0x10, 0x00, 0x00, 0x00, 'o', 'k'}));
}

}  // namespace
