// vr620-gatewayd --upstream: a relay on this computer's loopback in front of a TLS gateway, both
// the real program, against the simulated controller, with keys made by the programs' own
// commands: unchanged plain clients read and write through it, each on a TLS connection of its
// own that ends with theirs; an upstream that cannot be reached, or whose certificate is not
// trusted, is an ERROR whose LAST_REASON says why, and is tried again at the next request.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tls_gateway_fixture.h"

namespace {

using gateway_test::Bytes;
using gateway_test::Framed;
using gateway_test::kConnect;
using gateway_test::TcpClient;

const Bytes kConnectOk{0, 0, 0, 5, 0x00, 0x01, 0x00, 0x00, 0x00};
const Bytes kReadAnswer{0, 0, 0, 7, 0x00, 0x03, 0x01, 0x02, 0x00, 0xAA, 0xBB};
const Bytes kRead = Framed({0x00, 0x03, 0x01, 0x02, 0x00});

// Connections of this machine to `port` that are established (the connection log folds repeated
// lines, so it cannot count them).
int EstablishedTo(int port) {
    int count = 0;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::istringstream lines(vr620_test::ReadFile(table));
        std::string line;
        std::getline(lines, line);  // the heading
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            const auto colon = remote.rfind(':');
            if (state == "01" && colon != std::string::npos &&
                std::stoi(remote.substr(colon + 1), nullptr, 16) == port)
                ++count;
        }
    }
    return count;
}

// The reason a LAST_REASON on `client` gives.
std::string LastReason(const TcpClient& client) {
    const Bytes reply = client.Exchange(Framed({0x00, 0x10, 0x00, 0x00, 0x00}));
    if (reply.size() < 9 || reply[8] != 0x00) return "(no reason reply)";
    return std::string(reply.begin() + 9, reply.end());
}

class Relay : public gateway_test::TlsGateway {
  protected:
    void SetUp() override {
        TlsGateway::SetUp();
        relayFingerprint = MakeKey(VR620_GATEWAYD_PATH, "--tls-make-key", "relay");
        vr620_test::WriteFile(TrustFile(), relayFingerprint + "\n");
    }
    void TearDown() override {
        EXPECT_TRUE(relay.StopsCleanly()) << relay.Run().Stderr();
        TlsGateway::TearDown();
    }
    // The relay to the gateway's TLS port (chosen now when the gateway has not started),
    // trusting the gateway by `trust`; on loopback alone, as by default.
    bool StartRelay(const std::string& trust) {
        while (tlsPort == 0) tlsPort = vr620_test::FreePort();
        upstream = "127.0.0.1:" + std::to_string(tlsPort);
        return relay.Start({"--upstream", upstream, "--tls-cert", (dir / "relay/cert.pem").string(),
                            "--tls-key", (dir / "relay/key.pem").string(), "--tls-trust", trust},
                           false) &&
               relay.Has("Relaying the requests to the gateway at " + upstream + "...");
    }

    gateway_test::Gatewayd relay{dir, "relay-bin"};
    std::string relayFingerprint;
    std::string upstream;
};

TEST_F(Relay, PlainClientsReadAndWriteThroughItEachOnAConnectionOfItsOwn) {
    ASSERT_TRUE(StartGateway());
    ASSERT_TRUE(StartRelay((dir / "gateway.trust").string()));

    // vr620 as the suite's programs are: plain, to localhost (the relay has ::1 and 127.0.0.1).
    const std::string port = std::to_string(relay.port);
    auto write = Run(VR620_TOOL_PATH, {"--port", port, "write", "0x0010", "56 78"});
    EXPECT_EQ(write->ExitCode(), 0) << write->Stderr();
    auto read = Run(VR620_TOOL_PATH, {"--port", port, "read", "0x0010"});
    EXPECT_EQ(read->Stdout(), "56 78\n") << read->Stderr();

    // Two clients at once; an unknown message is the relay's own to echo, as a gateway's.
    TcpClient first(relay.port), second(relay.port);
    EXPECT_EQ(first.Exchange(kConnect), kConnectOk);
    EXPECT_EQ(second.Exchange(kConnect), kConnectOk);
    EXPECT_EQ(second.Exchange(kRead), kReadAnswer);
    EXPECT_EQ(first.Exchange(Framed({0x41, 0x42, 0x00, 0x43})), (Bytes{0, 0, 0, 2, 0x41, 0x42}));
    EXPECT_EQ(first.Exchange(kRead), kReadAnswer);

    // The gateway served the relay's certificate and every kind of command (vr620's disconnect
    // too), and no unknown message, which the relay answered itself.
    const auto texts = gatewayd.Texts();
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const auto& t) {
        return t.ends_with(" connected (TLS, SHA256 " + relayFingerprint + ")");
    }));
    for (const std::string command : {"DEVICE_CONNECT", "SNVT_WRITE", "SNVT_READ",
                                      "DEVICE_DISCONNECT"}) {
        EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const auto& t) {
            return t.starts_with(command + " command received") && t.ends_with(" -> OK");
        })) << command;
    }
    for (const auto& text : texts) EXPECT_EQ(text.find("Unknown message"), std::string::npos);
    const auto relayTexts = relay.Texts();
    EXPECT_TRUE(std::any_of(relayTexts.begin(), relayTexts.end(), [](const auto& t) {
        return t.starts_with("Unknown message received from client on ");
    }));

    // One connection upstream for each client; one that goes takes its own with it.
    EXPECT_TRUE(vr620_test::WaitUntil([&] { return EstablishedTo(tlsPort) == 2; }));
    first.Close();
    EXPECT_TRUE(vr620_test::WaitUntil([&] { return EstablishedTo(tlsPort) == 1; }));
    EXPECT_EQ(second.Exchange(kRead), kReadAnswer);
}

TEST_F(Relay, AnUpstreamUnreachableOrUntrustedIsAnErrorWithItsReasonAndTriedAgain) {
    const std::string quiet = vr620_test::ReadFile(dir / "line.trace");
    // The relay trusts somebody else, and the gateway is not there yet.
    const std::string trust = (dir / "relay.trust").string();
    vr620_test::WriteFile(trust, alice + "\n");
    ASSERT_TRUE(StartRelay(trust));
    TcpClient client(relay.port);
    EXPECT_EQ(relay.ReasonOf(client, kConnect),
              "Device on " + upstream + ": upstream " + upstream +
                  ": cannot be reached: Connection refused");
    EXPECT_EQ(LastReason(client), "upstream " + upstream + ": cannot be reached: Connection refused");

    ASSERT_TRUE(StartGateway());
    const std::string untrusted =
        "upstream " + upstream + ": TLS certificate not trusted (SHA256 " + gatewayFingerprint + ")";
    EXPECT_EQ(relay.ReasonOf(client, kConnect), "Device on " + upstream + ": " + untrusted);
    EXPECT_EQ(LastReason(client), untrusted);
    // Its reason is the connection's own.
    TcpClient other(relay.port);
    EXPECT_EQ(LastReason(other), "");
    // The gateway served nothing, and the line saw nothing.
    for (const auto& text : gatewayd.Texts())
        EXPECT_EQ(text.find("command received"), std::string::npos) << text;
    EXPECT_EQ(vr620_test::ReadFile(dir / "line.trace"), quiet);

    // Trusted now: the same connection is served at its next request.
    vr620_test::WriteFile(trust, gatewayFingerprint + "\n");
    EXPECT_EQ(client.Exchange(kConnect), kConnectOk);
    EXPECT_EQ(client.Exchange(kRead), kReadAnswer);

    // An ERROR of the gateway's own comes with the gateway's words.
    EXPECT_EQ(relay.ReasonOf(client, Framed({0x00, 0x03, 0xFF, 0x01, 0x00})),
              "Device on " + upstream + ": no reply");
    EXPECT_EQ(LastReason(client), "no reply");
    EXPECT_TRUE(gatewayd.Has("Device on COM1: no reply"));
}

}  // namespace
