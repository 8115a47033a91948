// The six exports of a private library copy: the checks every call makes, the refused calls and
// the reasons failed calls leave as the thread's last error, the export list itself.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <sstream>

#include "library_fixture.h"

namespace ducta_test {
namespace {

class Exports : public LibraryTest {};

TEST(ExportList, ExactlyTheSixFunctions) {
    const std::string command = std::string("nm -D --defined-only ") + DUCTA_LIBRARY_PATH;
    FILE* p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, p) != nullptr) {
        std::istringstream in(line);
        std::string address, type, name;
        if (in >> address >> type >> name) names.insert(name);
    }
    ASSERT_EQ(pclose(p), 0);
    EXPECT_EQ(names, (std::set<std::string>{"DCT_module_open", "DCT_Open", "DCT_Write", "DCT_Read",
                                            "DCT_Close", "DCT_module_close"}));
}

TEST_F(Exports, EveryChannelCallNeedsAModule) {
    EXPECT_EQ(lib.module_close(), 0);
    EXPECT_EQ(lib.module_close(), 0);
    EXPECT_EQ(OpenDirect(), DCT_RESULT_FAILED);
    EXPECT_EQ(lib.Write(0, 0, 1, 0x81, nullptr, 0), DCT_RESULT_FAILED);
    uint8_t ok = 0, data[DCT_READ_BUFFER_SIZE];
    EXPECT_EQ(lib.Read(0, 0, nullptr, nullptr, &ok, data, nullptr), DCT_RESULT_FAILED);
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_FAILED);
}

TEST_F(Exports, SelectorOneIsRefusedAndOthersAccepted) {
    EXPECT_EQ(lib.Open(1, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_FAILED);
    ASSERT_EQ(lib.Open(2, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
    EXPECT_EQ(lib.Write(1, 0, 1, 0x81, nullptr, 0), DCT_RESULT_FAILED);
    uint8_t ok = 0, data[DCT_READ_BUFFER_SIZE];
    EXPECT_EQ(lib.Read(1, 0, nullptr, nullptr, &ok, data, nullptr), DCT_RESULT_FAILED);
    EXPECT_EQ(lib.Close(1, 0), DCT_RESULT_FAILED);
    // The refused calls touched nothing: the channel is still open for selector 255.
    ASSERT_EQ(lib.Write(255, 9, 0x0102, 0x81, nullptr, 0), DCT_RESULT_OK);
    EXPECT_EQ(pty.Receive(6), (Bytes{0x02, 0x81, 0x02, 0x01, 0x02, 0x86}));
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
}

TEST_F(Exports, TransfersWithoutAnOpenChannelAnswerNotOpen) {
    uint8_t ok = 0, data[DCT_READ_BUFFER_SIZE];
    EXPECT_EQ(lib.Write(0, 0, 1, 0x81, nullptr, 0), DCT_RESULT_NOT_OPEN);
    EXPECT_EQ(lib.Read(0, 0, nullptr, nullptr, &ok, data, nullptr), DCT_RESULT_NOT_OPEN);
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    ASSERT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
    EXPECT_EQ(lib.Write(0, 0, 1, 0x81, nullptr, 0), DCT_RESULT_NOT_OPEN);
    WriteIni("[Direct]\r\nBaudRate=0\r\n");  // refused speed: the open fails
    const Called refused([&] { return OpenDirect(); });
    EXPECT_EQ(refused.result, DCT_RESULT_FAILED);
    EXPECT_EQ(refused.reason, EINVAL);
    EXPECT_EQ(lib.Write(0, 0, 1, 0x81, nullptr, 0), DCT_RESULT_NOT_OPEN);
    EXPECT_EQ(lib.Read(0, 0, nullptr, nullptr, &ok, data, nullptr), DCT_RESULT_NOT_OPEN);
    EXPECT_EQ(ok, 0);
}

TEST_F(Exports, CloseRightAfterModuleOpenSucceeds) {
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
}

TEST_F(Exports, RefusedWritesSendNothing) {
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    const uint8_t big[DCT_MAX_DATA + 1] = {};
    EXPECT_EQ(lib.Write(0, 0, 1, 0x82, nullptr, 5), DCT_RESULT_FAILED);
    EXPECT_EQ(lib.Write(0, 0, 1, 0x82, big, DCT_MAX_DATA + 1), DCT_RESULT_FAILED);
    const Called tooLong([&] { return lib.Write(0, 0, 1, 0x82, big, 0xFFFF); });
    EXPECT_EQ(tooLong.result, DCT_RESULT_FAILED);
    EXPECT_EQ(tooLong.reason, EINVAL);
    // The first bytes on the line are those of the next accepted frame.
    const uint8_t value[] = {0x12, 0x34};
    ASSERT_EQ(lib.Write(0, 0, 0x0010, 0x82, value, 2), DCT_RESULT_OK);
    EXPECT_EQ(pty.Receive(8), (Bytes{0x02, 0x82, 0x04, 0x00, 0x10, 0x12, 0x34, 0xDC}));
}

TEST_F(Exports, LargestRequestGoesOutWhole) {
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    uint8_t data[DCT_MAX_DATA];
    for (std::size_t i = 0; i < sizeof data; ++i) data[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(lib.Write(0, 0, 0xABCD, 0x82, data, DCT_MAX_DATA), DCT_RESULT_OK);
    Bytes frame = pty.Receive(DCT_MAX_DATA + 6);
    ASSERT_EQ(frame.size(), DCT_MAX_DATA + 6);
    EXPECT_EQ(frame[2], 255);
    EXPECT_EQ(frame[5 + 252], 252);
}

TEST_F(Exports, ReadRefusesMissingOkOrDataWithoutTouchingTheLine) {
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    uint8_t ok = 0, data[DCT_READ_BUFFER_SIZE];
    pty.Send(Reply(0x80, 1, {0x01}));
    EXPECT_EQ(lib.Read(0, 0, nullptr, nullptr, nullptr, data, nullptr), DCT_RESULT_FAILED);
    EXPECT_EQ(lib.Read(0, 0, nullptr, nullptr, &ok, nullptr, nullptr), DCT_RESULT_FAILED);
    // The reply is still waiting for a proper read.
    EXPECT_EQ(lib.Read(0, 0, nullptr, nullptr, &ok, data, nullptr), DCT_RESULT_OK);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(data[0], 0x01);
}

TEST_F(Exports, HangupStringAloneOpensADirectChannel) {
    WriteIni("[Direct]\r\nBaudRate=19200\r\n[Modem]\r\nBaudRate=2400\r\n");
    ASSERT_EQ(lib.Open(0, 0, 0, nullptr, nullptr, "ATH\r", 0), DCT_RESULT_OK);
    termios t = pty.FarEndSettings();
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);  // direct close: no hang-up
    EXPECT_TRUE(pty.ReceiveSome(std::chrono::milliseconds(0)).empty());
}

TEST_F(Exports, MissingDeviceOrEmptyMappingOrNoSerialLineFailsTheOpen) {
    for (const auto& [path, reason] :
         {std::pair<std::string, int>{(dir / "nothing-here").string(), ENOENT},
          {std::string(), ENOENT},
          {"/dev/null", ENOTTY}}) {
        lib.WriteIni("[Ports]\r\nCOM1=" + path + "\r\n");
        const Called open([&] { return OpenDirect(); });
        EXPECT_EQ(open.result, DCT_RESULT_FAILED) << path;
        EXPECT_EQ(open.reason, reason) << path;
        EXPECT_EQ(lib.Write(0, 0, 1, 0x81, nullptr, 0), DCT_RESULT_NOT_OPEN) << path;
    }
}

TEST_F(Exports, AWriteThatCannotGoOutFails) {
    WriteIniThroughLink();
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    pty.StopFarOutput();  // the line takes no bytes
    const Called stalled([&] { return lib.Write(0, 0, 1, 0x81, nullptr, 0); });
    EXPECT_EQ(stalled.result, DCT_RESULT_FAILED);
    EXPECT_EQ(stalled.reason, ETIMEDOUT);
    // A line that is gone takes nothing either; its reopen finds nothing at the path.
    PullOut();
    const Called gone([&] { return lib.Write(0, 0, 1, 0x81, nullptr, 0); });
    EXPECT_EQ(gone.result, DCT_RESULT_FAILED);
    EXPECT_EQ(gone.reason, ENOENT);
}

TEST_F(Exports, PortOpenElsewhereFailsTheOpen) {
    // Another program holding the port...
    int other = open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    const Called held([&] { return OpenDirect(); });
    EXPECT_EQ(held.result, DCT_RESULT_FAILED);
    EXPECT_EQ(held.reason, EBUSY);
    close(other);
    // ...and another copy of the library in this process, with its own module.
    vr620_test::TempDir otherDir;
    vr620_test::DuctaCopy second(otherDir.Path());
    second.WriteIni("[Ports]\r\nCOM1=" + pty.Path() + "\r\n");
    second.module_open();
    ASSERT_EQ(second.Open(0, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
    const Called taken([&] { return OpenDirect(); });
    EXPECT_EQ(taken.result, DCT_RESULT_FAILED);
    EXPECT_EQ(taken.reason, EBUSY);
    ASSERT_EQ(second.Close(0, 0), DCT_RESULT_OK);
    EXPECT_EQ(OpenDirect(), DCT_RESULT_OK);
}

TEST_F(Exports, ComIndexNamesComIndexPlusOne) {
    vr620_test::PtyPair com4;
    lib.WriteIni("[Ports]\r\nCOM4=" + com4.Path() + "\r\nCOM256=" + pty.Path() + "\r\n");
    ASSERT_EQ(lib.Open(0, 3, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
    ASSERT_EQ(lib.Write(0, 0, 0x0102, 0x81, nullptr, 0), DCT_RESULT_OK);
    EXPECT_EQ(com4.Receive(6).size(), 6u);
    ASSERT_EQ(lib.Open(0, 255, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
    ASSERT_EQ(lib.Write(0, 0, 0x0102, 0x81, nullptr, 0), DCT_RESULT_OK);
    EXPECT_EQ(pty.Receive(6).size(), 6u);
}

TEST_F(Exports, ModuleOpenWhileOpenStartsAFreshModule) {
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    EXPECT_EQ(lib.module_open(), 0);
    EXPECT_EQ(lib.Write(0, 0, 1, 0x81, nullptr, 0), DCT_RESULT_NOT_OPEN);
    // The old channel was closed: the port can be taken again.
    vr620_test::TempDir otherDir;
    vr620_test::DuctaCopy second(otherDir.Path());
    second.WriteIni("[Ports]\r\nCOM1=" + pty.Path() + "\r\n");
    second.module_open();
    EXPECT_EQ(second.Open(0, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
}

}  // namespace
}  // namespace ducta_test
