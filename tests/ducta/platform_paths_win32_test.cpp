// Where the library finds its port and its settings file on Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include "device_path.h"
#include "library_config.h"

namespace ducta {
namespace {

TEST(PlatformPathsWin32, ComNumbersWithoutAKeyAreTheSerialPortsOfTheMachine) {
    EXPECT_EQ(common::DevicePathForCom("C:\\nonexistent\\DUCTA.INI", 1), "\\\\.\\COM1");
    EXPECT_EQ(common::DevicePathForCom({}, 12), "\\\\.\\COM12");
    EXPECT_EQ(common::DevicePathForCom({}, 256), "\\\\.\\COM256");
}

TEST(PlatformPathsWin32, SettingsFileLivesBesideTheCodesFile) {
    // Linked into this test program, the library's code lives in the program's file.
    wchar_t program[MAX_PATH * 4] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, program, MAX_PATH * 4), 0u);
    auto path = LibraryConfigPath();
    EXPECT_EQ(path.filename(), "DUCTA.INI");
    EXPECT_TRUE(std::filesystem::equivalent(path.parent_path(),
                                            std::filesystem::path(program).parent_path()));
}

}  // namespace
}  // namespace ducta
