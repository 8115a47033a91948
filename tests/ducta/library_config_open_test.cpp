// DUCTA.INI as the library reads it beside itself, at every open.
#include "library_fixture.h"

namespace ducta_test {
namespace {

class ConfigAtOpen : public LibraryTest {
  protected:
    speed_t LineSpeed() const {
        termios t = pty.FarEndSettings();
        return cfgetospeed(&t);
    }
};

TEST_F(ConfigAtOpen, DefaultsWithoutFileKeys) {
    WriteIni();  // only the port mapping
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    EXPECT_EQ(LineSpeed(), B4800);
    // A modem channel assumed connected with an empty dial text sends nothing.
    ASSERT_EQ(lib.Open(0, 0, 1, nullptr, "", nullptr, 0), DCT_RESULT_OK);
    EXPECT_EQ(LineSpeed(), B9600);
}

TEST_F(ConfigAtOpen, ChangedFileTakesEffectAtTheNextOpen) {
    WriteIni("[direct]\r\nbaudrate=19200\r\n");
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    EXPECT_EQ(LineSpeed(), B19200);
    WriteIni("[Direct]\r\nBaudRate=38400\r\n");
    EXPECT_EQ(LineSpeed(), B19200);  // nothing changes before the open
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    EXPECT_EQ(LineSpeed(), B38400);
}

TEST_F(ConfigAtOpen, NegativeSpeedIsTheDefaultAndUnsupportedSpeedsFail) {
    WriteIni("[Direct]\r\nBaudRate=-1\r\n");
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    EXPECT_EQ(LineSpeed(), B4800);
    ASSERT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
    for (const char* baud : {"0", "12345"}) {
        WriteIni(std::string("[Direct]\r\nBaudRate=") + baud + "\r\n");
        EXPECT_EQ(OpenDirect(), DCT_RESULT_FAILED) << baud;
        EXPECT_EQ(LineSpeed(), B2400) << baud;  // never reached the line
    }
}

TEST_F(ConfigAtOpen, EachLibraryCopyReadsTheFileBesideItself) {
    vr620_test::TempDir otherDir;
    vr620_test::PtyPair otherPty;
    vr620_test::DuctaCopy other(otherDir.Path());
    other.WriteIni("[Ports]\r\nCOM1=" + otherPty.Path() + "\r\n[Direct]\r\nBaudRate=57600\r\n");
    other.module_open();
    WriteIni("[Direct]\r\nBaudRate=1200\r\n");
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    ASSERT_EQ(other.Open(0, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
    EXPECT_EQ(LineSpeed(), B1200);
    termios t = otherPty.FarEndSettings();
    EXPECT_EQ(cfgetospeed(&t), B57600);
}

}  // namespace
}  // namespace ducta_test
