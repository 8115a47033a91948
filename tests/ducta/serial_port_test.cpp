// The port over real pseudo-terminals, mapped to COM numbers through a Ports section.
#include "serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>

#include "../support/pty_pair.h"
#include "../support/temp_dir.h"

namespace ducta {
namespace {

using namespace std::chrono_literals;
using vr620_test::PtyPair;
using vr620_test::TempDir;
using vr620_test::WriteFile;

// Waits, with a generous deadline, until `port` reports `count` waiting bytes.
bool WaitForWaiting(SerialPort& port, std::size_t count) {
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < end) {
        if (port.BytesWaiting() >= count) return true;
        port.WaitReadable(10);
    }
    return false;
}

class SerialPortTest : public ::testing::Test {
  protected:
    TempDir dir;
    PtyPair pty1, pty2, pty3;
    SerialPort port;
    void SetUp() override {
        WriteFile(dir / "DUCTA.INI", "[Ports]\r\nCOM1=" + pty1.Path() + "\r\nCOM2=" + pty2.Path() +
                                         "\r\nCOM3=" + pty3.Path() +
                                         "\r\nCOM7=" + (dir / "missing").string() +
                                         "\r\nCOM8=" + (dir / "DUCTA.INI").string() + "\r\n");
        port.SetConfigFile(dir / "DUCTA.INI");
    }
};

TEST_F(SerialPortTest, FullTextOpensComOneAt9600EightNOne) {
    ASSERT_EQ(port.Open("1,9600,n,8,1"), SerialPort::kOpenOk);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.DevicePath(), pty1.Path());
    EXPECT_EQ(port.SettingsText(), "1,9600,n,8,1");
    termios t = pty1.FarEndSettings();
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & (PARENB | CSTOPB));
    EXPECT_EQ(port.Close(), 0);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Close(), 0);  // harmless when closed
}

TEST_F(SerialPortTest, PortNumberAloneTakesTheDefaults) {
    ASSERT_EQ(port.Open("3"), SerialPort::kOpenOk);
    EXPECT_EQ(port.DevicePath(), pty3.Path());
    termios t = pty3.FarEndSettings();
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & (PARENB | CSTOPB));
}

TEST_F(SerialPortTest, EvenParitySevenDataBits) {
    ASSERT_EQ(port.Open("2,19200,E,7,1"), SerialPort::kOpenOk);
    termios t = pty2.FarEndSettings();
    EXPECT_EQ(cfgetospeed(&t), B19200);
    // A pseudo-terminal always reports 8 bits without parity; the port applied what was asked.
    const termios& applied = port.AppliedLine();
    EXPECT_EQ(applied.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_TRUE(applied.c_cflag & PARENB);
    EXPECT_FALSE(applied.c_cflag & PARODD);
}

TEST_F(SerialPortTest, SettingsTheLineCannotTakeAreRefusedBeforeTheyReachIt) {
    termios before = pty2.FarEndSettings();
    for (const char* text :
         {"2,,n,8,1", "2,0", "2,12345,n,8,1", "2,9600,n,9,1", "2,9600,n,8,3", "2,-9600"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(port.Open(text), SerialPort::kOpenRefused);
        termios after = pty2.FarEndSettings();
        EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
        EXPECT_EQ(cfgetospeed(&after), B2400);
        port.Close();
    }
}

TEST_F(SerialPortTest, MissingOrUnsuitableDevicesFailWithOne) {
    EXPECT_EQ(port.Open("7,9600"), SerialPort::kOpenDeviceFailed);  // no such file
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Open("8,9600"), SerialPort::kOpenDeviceFailed);  // not a terminal
    EXPECT_EQ(port.Open("0,9600"), SerialPort::kOpenDeviceFailed);  // no COM0
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialPortTest, PortInUseElsewhereFailsWithOne) {
    int other = open(pty1.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(port.Open("1,9600"), SerialPort::kOpenDeviceFailed);
    close(other);
    EXPECT_EQ(port.Open("1,9600"), SerialPort::kOpenOk);

    SerialPort second;
    second.SetConfigFile(dir / "DUCTA.INI");
    EXPECT_EQ(second.Open("1,9600"), SerialPort::kOpenDeviceFailed);
    port.Close();
    EXPECT_EQ(second.Open("1,9600"), SerialPort::kOpenOk);
}

// The exclusive flag of a pseudo-terminal outlives the descriptor that set it; left set, the
// next open by an unprivileged user would fail although nobody holds the port.
TEST_F(SerialPortTest, CloseLeavesThePortOpenableByOthers) {
    auto exclusive = [&] {
        int fd = open(pty1.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        int flag = -1;
        EXPECT_EQ(ioctl(fd, TIOCGEXCL, &flag), 0);
        close(fd);
        return flag;
    };
    ASSERT_EQ(port.Open("1,9600"), SerialPort::kOpenOk);
    EXPECT_EQ(exclusive(), 1);
    port.Close();
    EXPECT_EQ(exclusive(), 0);
}

TEST_F(SerialPortTest, OpeningAnOpenPortClosesTheOldOneFirst) {
    ASSERT_EQ(port.Open("1,9600"), SerialPort::kOpenOk);
    ASSERT_EQ(port.Open("1,4800"), SerialPort::kOpenOk);  // its own lock was released
    termios t = pty1.FarEndSettings();
    EXPECT_EQ(cfgetospeed(&t), B4800);
    ASSERT_EQ(port.Open("2,9600"), SerialPort::kOpenOk);
    SerialPort other;
    other.SetConfigFile(dir / "DUCTA.INI");
    EXPECT_EQ(other.Open("1,9600"), SerialPort::kOpenOk);  // COM1 is free again
}

TEST_F(SerialPortTest, BytesWaitingReadAndPurge) {
    ASSERT_EQ(port.Open("1,9600"), SerialPort::kOpenOk);
    EXPECT_EQ(port.BytesWaiting(), 0u);
    pty1.Send(std::vector<std::uint8_t>{0x10, 0x20, 0x30});
    ASSERT_TRUE(WaitForWaiting(port, 3));
    std::uint8_t b[2] = {};
    EXPECT_EQ(port.Read(b, 1, true), SerialPort::kTransferAll);
    EXPECT_EQ(b[0], 0x10);
    EXPECT_EQ(port.BytesWaiting(), 2u);
    port.Purge();
    EXPECT_EQ(port.BytesWaiting(), 0u);
    EXPECT_EQ(port.Read(b, 1, true), SerialPort::kTransferShort);  // nothing there: no wait
}

TEST_F(SerialPortTest, WriteDiscardsStaleInputAndSendsTheBytes) {
    ASSERT_EQ(port.Open("1,9600"), SerialPort::kOpenOk);
    pty1.Send(std::vector<std::uint8_t>{0xEE, 0xEE});
    ASSERT_TRUE(WaitForWaiting(port, 2));
    const std::uint8_t out[] = {1, 2, 3};
    EXPECT_EQ(port.Write(out, 3, true), SerialPort::kTransferAll);
    EXPECT_EQ(port.BytesWaiting(), 0u);
    EXPECT_EQ(pty1.Receive(3), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(SerialPortTest, ModemLinesFailCleanlyOnAPseudoTerminal) {
    EXPECT_EQ(port.SetRts(true), 1);  // closed
    ASSERT_EQ(port.Open("1,9600"), SerialPort::kOpenOk);
    port.SetRts(true);  // ENOTTY or success, depending on the kernel; never a crash
    port.SetDtr(false);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialPortTest, WaitReadableEndsWhenABytesArrivesOrAfterTheWait) {
    ASSERT_EQ(port.Open("1,9600"), SerialPort::kOpenOk);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.WaitReadable(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 29ms);
    pty1.Send(std::vector<std::uint8_t>{1});
    EXPECT_TRUE(port.WaitReadable(5000));
}

}  // namespace
}  // namespace ducta
