// vr620-gatewayd's TLS port over real TCP against the simulated controller, with keys made by the
// programs' own commands and the vr620 tool as the client: a trusted client reads and writes;
// an untrusted certificate, none, and plain bytes are refused in the log and never reach the
// line; a stalled handshake holds up nobody; the trust file is followed without a restart; with
// --tls-only the plain port serves this computer alone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "tls_gateway_fixture.h"

namespace {

namespace fs = std::filesystem;
using gateway_test::Bytes;
using gateway_test::Framed;
using gateway_test::kConnect;
using gateway_test::LastLine;
using gateway_test::TcpClient;
using gateway_test::TlsGateway;
using vr620_test::ProgramRun;

TEST_F(TlsGateway, KeysOfTheCommandsAndATrustedClientThatReadsAndWrites) {
    // The key alone for its owner; the fingerprint as openssl prints it, and as both commands do.
    struct stat st {};
    ASSERT_EQ(stat((dir / "alice/key.pem").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    auto printed =
        Run(VR620_GATEWAYD_PATH, {"--tls-fingerprint", (dir / "alice/cert.pem").string()});
    EXPECT_EQ(printed->Stdout(), alice + "\n");
    auto openssl = Run("/usr/bin/openssl", {"x509", "-noout", "-fingerprint", "-sha256", "-in",
                                            (dir / "gateway/cert.pem").string()});
    EXPECT_EQ(LastLine(openssl->Stdout()), "sha256 Fingerprint=" + gatewayFingerprint);
    // A key is never made over another.
    auto again = Run(VR620_TOOL_PATH, {"tls-make-key", (dir / "alice").string()});
    EXPECT_NE(again->ExitCode(), 0);
    EXPECT_NE(again->Stderr().find("exists already"), std::string::npos) << again->Stderr();
    EXPECT_EQ(
        LastLine(
            Run(VR620_TOOL_PATH, {"tls-fingerprint", (dir / "alice/cert.pem").string()})->Stdout()),
        alice);

    // The trust file as people write it: a comment, a broken line, openssl's prefix, any case.
    std::string lower = alice;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    vr620_test::WriteFile(TrustFile(),
                          "# the clients\nnot a fingerprint\n  SHA256 Fingerprint=" + lower + "\n");
    // A key that is not the certificate's is said before the start.
    auto mismatched =
        Run(VR620_GATEWAYD_PATH,
            {"--tls-port", "1", "--tls-cert", (dir / "gateway/cert.pem").string(), "--tls-key",
             (dir / "alice/key.pem").string(), "--tls-trust", TrustFile()});
    EXPECT_EQ(mismatched->ExitCode(), 1);
    EXPECT_NE(mismatched->Stderr().find("does not belong to the certificate"), std::string::npos)
        << mismatched->Stderr();

    ASSERT_TRUE(StartGateway());
    EXPECT_TRUE(gatewayd.Has("TLS trust file " + TrustFile() +
                             ", line 2 skipped: not a SHA-256 fingerprint (32 colon-separated "
                             "hexadecimal pairs)"));
    auto write = Vr620("alice", {"write", "0x0010", "56 78"});
    EXPECT_EQ(write->ExitCode(), 0) << write->Stderr();
    auto read = Vr620("alice", {"read", "0x0010"});
    EXPECT_EQ(read->Stdout(), "56 78\n") << read->Stderr();
    const auto texts = gatewayd.Texts();
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& t) {
        return t.ends_with(" connected (TLS, SHA256 " + alice + ")");
    }));
}

TEST_F(TlsGateway, RefusalsAreLoggedWithTheirReasonAndNeverReachTheDevice) {
    const std::string mallory = MakeKey(VR620_TOOL_PATH, "tls-make-key", "mallory");
    vr620_test::WriteFile(TrustFile(), alice + "\n");
    ASSERT_TRUE(StartGateway());
    const std::string quiet = vr620_test::ReadFile(dir / "line.trace");

    // TLS 1.3 ends the client's handshake first: its request goes out, and is never served.
    auto untrusted = Vr620("mallory", {"write", "0x0010", "99 99"});
    EXPECT_EQ(untrusted->ExitCode(), 2);
    EXPECT_NE(untrusted->Stderr().find("does not trust this computer's certificate"),
              std::string::npos)
        << untrusted->Stderr();
    // Its alert leaves within the handshake, a moment before the log line.
    EXPECT_TRUE(vr620_test::WaitUntil(
        [&] { return LogRefuses("TLS certificate not trusted (SHA256 " + mallory + ")"); }));

    // Without a certificate, sending a request behind its handshake.
    vr620_test::WriteFile(dir / "request", std::string(kConnect.begin(), kConnect.end()));
    ProgramRun anonymous("/bin/sh",
                         {"-c", "exec /usr/bin/openssl s_client -quiet -connect 127.0.0.1:" +
                                    std::to_string(tlsPort) + " < " + (dir / "request").string()},
                         ProgramRun::Streams{dir / "anonymous.out", dir / "anonymous.err"});
    EXPECT_TRUE(vr620_test::WaitUntil([&] { return LogRefuses("TLS, no certificate"); }));
    EXPECT_TRUE(anonymous.Wait()) << "the gateway did not close the connection";

    // The plain protocol on the TLS port.
    TcpClient plain(tlsPort);
    EXPECT_EQ(plain.Exchange(kConnect), Bytes{});
    EXPECT_TRUE(LogRefuses("not TLS"));

    // Nothing reached the line, and no command was served.
    EXPECT_EQ(vr620_test::ReadFile(dir / "line.trace"), quiet);
    for (const auto& text : gatewayd.Texts())
        EXPECT_EQ(text.find("command received"), std::string::npos) << text;
    // Which the trace would show.
    EXPECT_TRUE(Reads("alice"));
    EXPECT_NE(vr620_test::ReadFile(dir / "line.trace"), quiet);
}

TEST_F(TlsGateway, AClientThatStopsInItsHandshakeHoldsUpNobodyAndIsClosedAfterFiveSeconds) {
    vr620_test::WriteFile(TrustFile(), alice + "\n");
    ASSERT_TRUE(StartGateway());
    // One that says nothing, one that stops in the header of its first record.
    TcpClient silent(tlsPort);
    TcpClient halfway(tlsPort);
    ASSERT_TRUE(silent.Connected() && halfway.Connected());
    ASSERT_TRUE(halfway.Send({0x16, 0x03, 0x01}));

    // Served in full while both still wait for their bound.
    EXPECT_TRUE(Reads("alice"));
    TcpClient plainClient(gatewayd.port);
    EXPECT_EQ(plainClient.Exchange(Framed({0x41})), (Bytes{0, 0, 0, 1, 0x41}));
    EXPECT_FALSE(LogRefuses("TLS handshake not finished within 5 s"));

    EXPECT_TRUE(halfway.WaitClosed());
    EXPECT_TRUE(silent.WaitClosed());
    EXPECT_TRUE(LogRefuses("TLS handshake not finished within 5 s"));
}

TEST_F(TlsGateway, AChangedTrustFileTakesEffectWithoutARestart) {
    const std::string bob = MakeKey(VR620_TOOL_PATH, "tls-make-key", "bob");
    vr620_test::WriteFile(TrustFile(), alice + "\n");
    ASSERT_TRUE(StartGateway());
    EXPECT_TRUE(Reads("alice"));
    EXPECT_FALSE(Reads("bob"));

    // Replaced, as an editor that writes a new file does.
    vr620_test::WriteFile(dir / "new.trust", "# bob only\n" + bob + "\n");
    fs::rename(dir / "new.trust", TrustFile());
    EXPECT_TRUE(Reads("bob"));
    EXPECT_FALSE(Reads("alice"));
    EXPECT_TRUE(gatewayd.Has("TLS trust file " + TrustFile() + " read again: 1 fingerprint"));

    // Rewritten in place at once, to the same size: the same inode and, maybe, the same time.
    vr620_test::WriteFile(TrustFile(), "# bob only\n" + alice + "\n");
    EXPECT_TRUE(Reads("alice"));
    EXPECT_FALSE(Reads("bob"));

    // Gone: nobody is trusted, and the log says why.
    fs::remove(TrustFile());
    EXPECT_FALSE(Reads("alice"));
    EXPECT_TRUE(gatewayd.Has("TLS trust file " + TrustFile() +
                             " cannot be read: No such file or directory; no certificate is "
                             "trusted through it until it can"));
}

TEST_F(TlsGateway, TlsOnlyLeavesThePlainPortToThisComputer) {
    vr620_test::WriteFile(TrustFile(), alice + "\n");
    ASSERT_TRUE(StartGateway({"--tls-only"}, false));
    EXPECT_EQ(TcpClient(gatewayd.port).Exchange(Framed({0x41})), (Bytes{0, 0, 0, 1, 0x41}));
    if (gateway_test::HasIpv6Loopback()) {
        EXPECT_TRUE(TcpClient(gatewayd.port, gateway::IpAddress::Ipv6Loopback()).Connected());
    }

    // An address of this machine that is not loopback reaches the TLS port alone.
    std::vector<gateway::IpAddress> others;
    for (const gateway::IpAddress& own : gateway::net::InterfaceAddresses()) {
        const bool loopback =
            own == gateway::IpAddress::Ipv6Loopback() || (own.IsIpv4() && own.bytes[12] == 127);
        const bool linkLocal = own.bytes[0] == 0xFE && (own.bytes[1] & 0xC0) == 0x80;
        if (!loopback && !linkLocal) others.push_back(own);
    }
    for (const gateway::IpAddress& other : others) {
        EXPECT_FALSE(TcpClient(gatewayd.port, other).Connected())
            << gateway::FormatIpAddress(other);
        EXPECT_TRUE(TcpClient(tlsPort, other).Connected()) << gateway::FormatIpAddress(other);
    }
    // A machine with loopback alone: 127.0.0.2 is loopback too, yet not the address the plain
    // port is bound to, which shows that it listens on 127.0.0.1 alone and not everywhere.
    if (others.empty()) {
        EXPECT_FALSE(
            TcpClient(gatewayd.port, gateway::IpAddress::FromIpv4(0x7F000002)).Connected());
    }
    EXPECT_TRUE(Reads("alice"));
}

}  // namespace
