// Where the library finds its port and its settings file on Linux.
#include <gtest/gtest.h>

#include "device_path.h"
#include "library_config.h"

namespace ducta {
namespace {

TEST(PlatformPathsPosix, ComNumbersWithoutAKeyAreTheSerialPortsOfTheMachine) {
    EXPECT_EQ(common::DevicePathForCom("/nonexistent/DUCTA.INI", 1), "/dev/ttyS0");
    EXPECT_EQ(common::DevicePathForCom({}, 12), "/dev/ttyS11");
    EXPECT_EQ(common::DevicePathForCom({}, 256), "/dev/ttyS255");
}

TEST(PlatformPathsPosix, SettingsFileLivesBesideTheCodesFile) {
    // Linked into this test program, the library's code lives in the program's file.
    auto path = LibraryConfigPath();
    EXPECT_EQ(path.filename(), "DUCTA.INI");
    EXPECT_EQ(path.parent_path(), std::filesystem::canonical("/proc/self/exe").parent_path());
}

}  // namespace
}  // namespace ducta
