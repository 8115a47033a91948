#include "line_record.h"

#include <gtest/gtest.h>
#include <termios.h>

namespace ducta {
namespace {

TEST(LineRecordPosix, SpeedsThatTermiosCannotSetAreRefused) {
    EXPECT_EQ(TermiosSpeed(0), std::nullopt);  // B0 would hang the line up
    EXPECT_EQ(TermiosSpeed(12345), std::nullopt);
    EXPECT_EQ(TermiosSpeed(96), std::nullopt);
    EXPECT_EQ(TermiosSpeed(4800), B4800);
    EXPECT_EQ(TermiosSpeed(115200), B115200);

    termios tio{};
    cfsetispeed(&tio, B2400);
    cfsetospeed(&tio, B2400);
    termios before = tio;
    LineSettings zero;
    zero.baud = 0;
    EXPECT_FALSE(ApplyLineSettings(zero, tio));
    EXPECT_EQ(cfgetospeed(&tio), cfgetospeed(&before));
}

TEST(LineRecordPosix, RawLineWithTheRequestedFormat) {
    termios tio{};
    tio.c_lflag = ICANON | ECHO | ISIG;
    tio.c_oflag = OPOST;
    tio.c_cflag = CRTSCTS;
    LineSettings line;
    line.baud = 19200;
    line.parity = Parity::kEven;
    line.dataBits = 7;
    line.stopBits = 2;
    ASSERT_TRUE(ApplyLineSettings(line, tio));
    EXPECT_EQ(cfgetospeed(&tio), B19200);
    EXPECT_EQ(cfgetispeed(&tio), B19200);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_TRUE(tio.c_cflag & PARENB);
    EXPECT_FALSE(tio.c_cflag & PARODD);
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_TRUE(tio.c_cflag & CLOCAL);
    EXPECT_TRUE(tio.c_cflag & CREAD);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(tio.c_oflag & OPOST);
    EXPECT_EQ(tio.c_cc[VMIN], 1);  // a read of 0 bytes is a hang-up, never "no data yet"
    EXPECT_EQ(tio.c_cc[VTIME], 0);

    line.parity = Parity::kMark;
    ASSERT_TRUE(ApplyLineSettings(line, tio));
    EXPECT_TRUE((tio.c_cflag & (PARENB | CMSPAR | PARODD)) == (PARENB | CMSPAR | PARODD));
    line.parity = Parity::kNone;
    line.dataBits = 8;
    line.stopBits = 1;
    ASSERT_TRUE(ApplyLineSettings(line, tio));
    EXPECT_FALSE(tio.c_cflag & (PARENB | CMSPAR | CSTOPB));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
}

}  // namespace
}  // namespace ducta
