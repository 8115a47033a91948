// The port over real pseudo-terminals.
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
using Clock = SerialPort::Clock;
using vr620_test::PtyPair;
using vr620_test::TempDir;
using vr620_test::WriteFile;

LineSettings At(long baud) {
    LineSettings line;
    line.baud = baud;
    return line;
}

class SerialPortTest : public ::testing::Test {
  protected:
    TempDir dir;
    PtyPair pty1, pty2;
    DebugOutput debug;
    SerialPort port{debug};
};

TEST_F(SerialPortTest, OpensTheDeviceAtItsSpeedEightNOne) {
    ASSERT_EQ(port.Open(pty1.Path(), At(9600), true), Status::kOk);
    EXPECT_TRUE(port.IsOpen());
    termios t = pty1.FarEndSettings();
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & (PARENB | CSTOPB));
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    port.Close();  // harmless when closed
}

TEST_F(SerialPortTest, CloseRestoresTheLineFoundAtOpen) {
    termios cooked = pty1.FarEndSettings();
    cooked.c_lflag |= ICANON | ECHO | ISIG;
    cooked.c_iflag |= ICRNL | IXON;
    cooked.c_oflag |= OPOST | ONLCR;
    cfsetspeed(&cooked, B1200);
    ASSERT_EQ(tcsetattr(pty1.Master(), TCSANOW, &cooked), 0);
    const termios before = pty1.FarEndSettings();
    ASSERT_EQ(port.Open(pty1.Path(), At(4800), true), Status::kOk);
    termios raw = pty1.FarEndSettings();
    EXPECT_FALSE(raw.c_lflag & (ICANON | ECHO));
    EXPECT_EQ(cfgetospeed(&raw), B4800);
    port.Close();
    const termios after = pty1.FarEndSettings();
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(cfgetospeed(&after), B1200);
}

TEST_F(SerialPortTest, SpeedsTheLineCannotTakeAreRefusedBeforeTheyReachIt) {
    termios before = pty2.FarEndSettings();
    for (long baud : {0L, 12345L, -9600L}) {
        SCOPED_TRACE(baud);
        EXPECT_EQ(port.Open(pty2.Path(), At(baud), true), Status::kSpeedRefused);
        EXPECT_FALSE(port.IsOpen());
        termios after = pty2.FarEndSettings();
        EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
        EXPECT_EQ(cfgetospeed(&after), B2400);
    }
}

TEST_F(SerialPortTest, MissingOrUnsuitableDevicesSayWhy) {
    WriteFile(dir / "plain", "");
    EXPECT_EQ(port.Open((dir / "missing").string(), At(9600), true), Status::kCannotOpen);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Open((dir / "plain").string(), At(9600), true), Status::kNotATerminal);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialPortTest, PortInUseElsewhereIsRefused) {
    int other = open(pty1.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(port.Open(pty1.Path(), At(9600), true), Status::kInUse);
    close(other);
    EXPECT_EQ(port.Open(pty1.Path(), At(9600), true), Status::kOk);

    SerialPort second(debug);
    EXPECT_EQ(second.Open(pty1.Path(), At(9600), true), Status::kInUse);
    port.Close();
    EXPECT_EQ(second.Open(pty1.Path(), At(9600), true), Status::kOk);
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
    ASSERT_EQ(port.Open(pty1.Path(), At(9600), true), Status::kOk);
    EXPECT_EQ(exclusive(), 1);
    port.Close();
    EXPECT_EQ(exclusive(), 0);
}

TEST_F(SerialPortTest, OpeningAnOpenPortClosesTheOldOneFirst) {
    ASSERT_EQ(port.Open(pty1.Path(), At(9600), true), Status::kOk);
    ASSERT_EQ(port.Open(pty1.Path(), At(4800), true), Status::kOk);  // its own lock was released
    termios t = pty1.FarEndSettings();
    EXPECT_EQ(cfgetospeed(&t), B4800);
    ASSERT_EQ(port.Open(pty2.Path(), At(9600), true), Status::kOk);
    SerialPort other(debug);
    EXPECT_EQ(other.Open(pty1.Path(), At(9600), true), Status::kOk);  // free again
}

TEST_F(SerialPortTest, ReadSomeTakesWhatArrivedOrWaitsForItsDeadline) {
    ASSERT_EQ(port.Open(pty1.Path(), At(9600), true), Status::kOk);
    std::uint8_t b[8] = {};
    std::size_t got = 0;
    const auto start = Clock::now();
    EXPECT_EQ(port.ReadSome(b, got, start + 30ms), Status::kTimeout);
    EXPECT_GE(Clock::now() - start, 30ms);
    EXPECT_EQ(got, 0u);

    pty1.Send(std::vector<std::uint8_t>{0x10, 0x20, 0x30});
    ASSERT_EQ(port.ReadSome(std::span(b, 1), got, Clock::now() + 5s), Status::kOk);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(b[0], 0x10);
    ASSERT_EQ(port.ReadSome(b, got, Clock::now() + 5s), Status::kOk);
    EXPECT_EQ(got, 2u);  // what was there, in one call
    EXPECT_EQ(b[1], 0x30);

    pty1.Send(std::vector<std::uint8_t>{0xEE, 0xEE});
    ASSERT_EQ(port.ReadSome(std::span(b, 1), got, Clock::now() + 5s), Status::kOk);
    port.Purge();
    EXPECT_EQ(port.ReadSome(b, got, Clock::now()), Status::kTimeout);
}

TEST_F(SerialPortTest, WriteDiscardsStaleInputAndSendsTheBytes) {
    ASSERT_EQ(port.Open(pty1.Path(), At(9600), true), Status::kOk);
    pty1.Send(std::vector<std::uint8_t>{0xEE, 0xEE});
    const std::uint8_t out[] = {1, 2, 3};
    EXPECT_EQ(port.Write(out), Status::kOk);
    std::uint8_t b[4];
    std::size_t got = 0;
    EXPECT_EQ(port.ReadSome(b, got, Clock::now()), Status::kTimeout);
    EXPECT_EQ(pty1.Receive(3), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(SerialPortTest, ModemLinesFailCleanlyOnAPseudoTerminal) {
    EXPECT_EQ(port.SetRts(true), 1);  // closed
    ASSERT_EQ(port.Open(pty1.Path(), At(9600), true), Status::kOk);
    port.SetRts(true);  // ENOTTY or success, depending on the kernel; never a crash
    port.SetDtr(false);
    EXPECT_TRUE(port.IsOpen());
}

}  // namespace
}  // namespace ducta
