#include "library_config.h"

#include <gtest/gtest.h>

#include "../support/temp_dir.h"
#include "device_path.h"

namespace ducta {
namespace {

using vr620_test::TempDir;
using vr620_test::WriteFile;

TEST(LibraryConfig, DefaultsWithoutAFile) {
    TempDir dir;
    ChannelSettings direct = ReadChannelConfig(dir / "DUCTA.INI", false);
    EXPECT_EQ(direct.baudRate, 4800);
    EXPECT_EQ(direct.pollTimeOutMs, 500);
    EXPECT_EQ(direct.connTimeOutS, 0);
    EXPECT_EQ(direct.commandDelayMs, 0);
    EXPECT_EQ(direct.devStart, 0);
    EXPECT_EQ(direct.devEnd, 31);
    ChannelSettings modem = ReadChannelConfig(dir / "DUCTA.INI", true);
    EXPECT_EQ(modem.baudRate, 9600);
    EXPECT_EQ(modem.connTimeOutS, 30);
    EXPECT_EQ(modem.pollTimeOutMs, 1000);
    EXPECT_EQ(modem.commandDelayMs, 250);
    EXPECT_EQ(ReadChannelConfig({}, true).pollTimeOutMs, 1000);
}

TEST(LibraryConfig, LowerBoundsAndCaseRules) {
    TempDir dir;
    WriteFile(dir / "DUCTA.INI",
              "[modem]\nbaudrate=2400\nConnTimeOut=5\nPOLLTIMEOUT=300\nCommandDelay=0\n"
              "[Direct]\nBaudRate=19200\nPollTimeOut=300\n[Init]\nDevStart=10\nDevEnd=4\n");
    ChannelSettings modem = ReadChannelConfig(dir / "DUCTA.INI", true);
    EXPECT_EQ(modem.baudRate, 2400);
    EXPECT_EQ(modem.connTimeOutS, 10);
    EXPECT_EQ(modem.pollTimeOutMs, 750);
    EXPECT_EQ(modem.commandDelayMs, 0);
    EXPECT_EQ(modem.devStart, 10);
    EXPECT_EQ(modem.devEnd, 10);
    ChannelSettings direct = ReadChannelConfig(dir / "DUCTA.INI", false);
    EXPECT_EQ(direct.baudRate, 19200);
    EXPECT_EQ(direct.pollTimeOutMs, 300);
    WriteFile(dir / "DUCTA.INI", "[Direct]\nPollTimeOut=100\n");
    EXPECT_EQ(ReadChannelConfig(dir / "DUCTA.INI", false).pollTimeOutMs, 250);
}

TEST(LibraryConfig, NegativeSpeedIsTheDefaultAndNegativeDelayIsZero) {
    TempDir dir;
    WriteFile(dir / "DUCTA.INI",
              "[Modem]\nBaudRate=-9600\nCommandDelay=-100\n[Direct]\nBaudRate=-1\n");
    EXPECT_EQ(ReadChannelConfig(dir / "DUCTA.INI", true).baudRate, 9600);
    EXPECT_EQ(ReadChannelConfig(dir / "DUCTA.INI", true).commandDelayMs, 0);
    EXPECT_EQ(ReadChannelConfig(dir / "DUCTA.INI", false).baudRate, 4800);
}

TEST(LibraryConfig, PortsMapComNumbersToDevices) {
    TempDir dir;
    const auto ini = dir / "DUCTA.INI";
    EXPECT_EQ(common::DevicePathForCom(ini, 0), std::nullopt);
    WriteFile(ini, "[ports]\ncom3 = /dev/ttyUSB0\nCOM4=\n");
    EXPECT_EQ(common::DevicePathForCom(ini, 3), "/dev/ttyUSB0");
    // Written but empty is a mistake, not a missing key: no real port of the machine instead.
    EXPECT_EQ(common::DevicePathForCom(ini, 4), std::nullopt);
    EXPECT_EQ(common::DevicePathForCom(ini, 5), common::DefaultDevicePath(5));
}

}  // namespace
}  // namespace ducta
