// The DUCTA.INI of this test program's own copy of libducta.so (beside the executable, copied
// there by the build), written by the test and removed after it, and the gateway serving the
// simulated controller through it. Tests that use it hold the folder's resource lock, so no
// two of them write the file at the same time.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "gateway_harness.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace gateway_test {

inline std::filesystem::path ProgramFolder() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

class DeviceFolder {
  public:
    DeviceFolder() : ini_(ProgramFolder() / "DUCTA.INI") {}
    ~DeviceFolder() {
        std::error_code ec;
        std::filesystem::remove(ini_, ec);
    }
    DeviceFolder(const DeviceFolder&) = delete;
    DeviceFolder& operator=(const DeviceFolder&) = delete;

    // Maps COM numbers to device paths; other lines (sections) may follow in `extra`.
    void MapPorts(const std::map<int, std::string>& ports, const std::string& extra = {}) const {
        std::string text = "[Ports]\r\n";
        for (const auto& [com, path] : ports) {
            text += "COM" + std::to_string(com) + "=" + path + "\r\n";
        }
        vr620_test::WriteFile(ini_, text + extra);
    }

  private:
    std::filesystem::path ini_;
};

// The gateway in this process, serving the simulated controller on COM1.
class GatewayOnSimulator : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Started()) << sim.Error();
        folder.MapPorts({{1, sim.DevicePath()}});
        ASSERT_TRUE(run.started);
    }
    vr620_test::SimProcess sim{{"--baud", "38400", "--turnaround", "1"}};
    DeviceFolder folder;
    ServerRun run;
};

}  // namespace gateway_test
