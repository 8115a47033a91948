// vr620-gatewayd with a TLS port against the simulated controller, for the tests of its TLS port
// and of the relay in front of it: keys made by the programs' own commands, the gateway trusting
// what DIR/clients.trust lists, vr620 as a TLS client.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gateway_harness.h"
#include "gatewayd_process.h"
#include "program_run.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace gateway_test {

using vr620_test::ProgramRun;

inline const Bytes kConnect = Framed({0x00, 0x01, 0x00, 0x00, 0x00});

class TlsGateway : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Started()) << sim.Error();
        gatewayd.WriteIni("[Ports]\r\nCOM1=" + sim.DevicePath() +
                          "\r\n[Direct]\r\nBaudRate=38400\r\n");
        gatewayFingerprint = MakeKey(VR620_GATEWAYD_PATH, "--tls-make-key", "gateway");
        alice = MakeKey(VR620_TOOL_PATH, "tls-make-key", "alice");
        vr620_test::WriteFile(dir / "gateway.trust", gatewayFingerprint + "\n");
    }
    void TearDown() override { EXPECT_TRUE(gatewayd.StopsCleanly()) << gatewayd.Run().Stderr(); }

    // Runs a program to its end; its output in files of their own.
    std::unique_ptr<ProgramRun> Run(const std::string& program, std::vector<std::string> args) {
        const std::string n = std::to_string(++runs_);
        auto run = std::make_unique<ProgramRun>(
            program, args, ProgramRun::Streams{dir / ("out" + n), dir / ("err" + n)});
        EXPECT_TRUE(run->Wait()) << program;
        return run;
    }
    // A key made in DIR/name with the command; its fingerprint, as printed last.
    std::string MakeKey(const std::string& program, const std::string& command,
                        const std::string& name) {
        auto made = Run(program, {command, (dir / name).string()});
        EXPECT_EQ(made->ExitCode(), 0) << made->Stderr();
        return LastLine(made->Stdout());
    }
    // The gateway with a TLS port, trusting what DIR/clients.trust lists.
    bool StartGateway(std::vector<std::string> args = {}, bool bound = true) {
        // A port chosen before the start (a relay was told it) is kept.
        while (tlsPort == 0 || tlsPort == gatewayd.port) tlsPort = vr620_test::FreePort();
        args.insert(args.begin(), {"--tls-port", std::to_string(tlsPort), "--tls-cert",
                                   (dir / "gateway/cert.pem").string(), "--tls-key",
                                   (dir / "gateway/key.pem").string(), "--tls-trust", TrustFile()});
        return gatewayd.Start(args, bound) &&
               gatewayd.WaitFor("Listening to TLS port " + std::to_string(tlsPort) +
                                (args.back() == "--tls-only"
                                     ? "; port " + std::to_string(gatewayd.port) +
                                           " serves this computer alone..."
                                     : "..."));
    }
    std::string TrustFile() const { return (dir / "clients.trust").string(); }
    // vr620 over TLS with the key in DIR/key and the gateway's fingerprint trusted.
    std::unique_ptr<ProgramRun> Vr620(const std::string& key, std::vector<std::string> args) {
        args.insert(args.begin(), {"--host", "127.0.0.1", "--port", std::to_string(tlsPort),
                                   "--tls-cert", (dir / key / "cert.pem").string(), "--tls-key",
                                   (dir / key / "key.pem").string(), "--tls-trust",
                                   (dir / "gateway.trust").string()});
        return Run(VR620_TOOL_PATH, args);
    }
    bool Reads(const std::string& key) {
        auto read = Vr620(key, {"read", "0x0102"});
        return read->ExitCode() == 0 && read->Stdout() == "AA BB\n";
    }
    // Whether the log has a refusal of a client from 127.0.0.1 for `reason`.
    bool LogRefuses(const std::string& reason) const {
        for (const auto& text : gatewayd.Texts()) {
            if (text.starts_with("Client on ") &&
                text.ends_with(" from 127.0.0.1 refused: " + reason))
                return true;
        }
        return false;
    }

    vr620_test::TempDir dir;
    // Every frame the line carries, in the simulator's trace.
    vr620_test::SimProcess sim{{"--baud", "38400", "--turnaround", "1", "--verbose"},
                               (dir / "line.trace").string()};
    gateway_test::Gatewayd gatewayd{dir};
    int tlsPort = 0;
    std::string gatewayFingerprint;
    std::string alice;

  private:
    int runs_ = 0;
};

}  // namespace gateway_test
