// The manager's launcher starting one of the suite's Windows programs through Wine: the real
// launcher in the manager's test fixture starts a tiny client .exe (tests/windows), which reads
// a point through the Linux vr620-gatewayd from the simulator. Run by scripts/windows.sh, which
// sets VR620_WINDOWS_OUT and WINEPREFIX; without them the case is skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "program_run.h"
#include "shell_fixture.h"
#include "sim_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class WineLauncher : public vr620_test::ManagerTest {
  protected:
    void SetUp() override {
        const char* out = std::getenv("VR620_WINDOWS_OUT");
        if (out == nullptr || std::getenv("WINEPREFIX") == nullptr)
            GTEST_SKIP() << "no Windows build under Wine (scripts/windows.sh runs this)";
        probe_ = fs::path(out).parent_path() / "tests/windows/vr620-probe.exe";
        ASSERT_TRUE(fs::exists(probe_)) << probe_;
        ASSERT_TRUE(sim.Started()) << sim.Error();
        for (const char* file : {VR620_GATEWAYD_PATH, VR620_DUCTA_LIBRARY})
            fs::copy_file(file, gatewayFolder / fs::path(file).filename().string());
        vr620_test::WriteFile(gatewayFolder / "DUCTA.INI",
                              "[Ports]\r\nCOM1=" + sim.DevicePath() + "\r\n");
        gatewayd = std::make_unique<vr620_test::ProgramRun>(
            (gatewayFolder / "vr620-gatewayd").string(),
            std::vector<std::string>{"--port", std::to_string(port), "--bind", "127.0.0.1"},
            gatewayFolder.Path());
        ASSERT_TRUE(vr620_test::WaitUntil([&] {
            return gatewayd->Stdout().find("Listening to port") != std::string::npos;
        })) << gatewayd->Stderr();
        previousCwd_ = fs::current_path();
        fs::current_path(folder.Path());
    }
    void TearDown() override {
        if (!previousCwd_.empty()) fs::current_path(previousCwd_);
    }

    fs::path probe_;
    vr620_test::SimProcess sim{{"--baud", "38400", "--turnaround", "1"}};
    vr620_test::TempDir gatewayFolder;
    int port = vr620_test::FreePort();
    std::unique_ptr<vr620_test::ProgramRun> gatewayd;

  private:
    fs::path previousCwd_;
};

TEST_F(WineLauncher, TheManagerStartsAWindowsClientThatReadsThroughTheGateway) {
    // The suite's name, in the suite's spelling of the extension.
    fs::copy_file(probe_, folder.Path() / "VR620Configurator.Exe");
    vr620_test::WriteFile(folder.Path() / "VR620Manager.INI",
                          "[APPLICATIONS]\r\nCONFIG_APPLICATION_NAME=VR620Configurator.Exe\r\n");
    vr620_test::Windows windows;
    windows.mainForm.SetWindows(&windows.aboutBox, &windows.connectSettings, &windows.logForm);
    windows.mainForm.ParseCommandLine(
        {"HOST=127.0.0.1", "PORT=" + std::to_string(port), "LANG=ENG"});
    windows.mainForm.BitBtn_Configure->click();
    EXPECT_TRUE(boxes.empty());

    // Wine starts slowly on a fresh prefix; the gateway's log shows the client's work.
    const auto logged = [&](const std::string& text) {
        return gatewayd->Stdout().find(text) != std::string::npos;
    };
    EXPECT_TRUE(vr620_test::WaitUntil(
        [&] { return logged("DEVICE_DISCONNECT command received from client on "); }, 120s))
        << gatewayd->Stdout();
    EXPECT_TRUE(logged("DEVICE_CONNECT command received from client on ")) << gatewayd->Stdout();
    EXPECT_TRUE(logged("SNVT_READ command received from client on ")) << gatewayd->Stdout();
    const std::string log = gatewayd->Stdout();
    EXPECT_NE(log.find(" -> OK", log.find("SNVT_READ command received")), std::string::npos) << log;
}

}  // namespace
