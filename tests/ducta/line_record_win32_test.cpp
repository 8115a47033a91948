// The device control block that the Win32 port sets: what the line needs and nothing that
// would hold it (flow control, abort on error).
#include "line_record.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace ducta {
namespace {

TEST(LineRecordWin32, RefusesWhatNoLineCanTakeAndLeavesTheBlockAlone) {
    DCB dcb{};
    dcb.BaudRate = 2400;
    dcb.XonChar = 0x11;
    for (long baud : {0L, -9600L}) {
        LineSettings line;
        line.baud = baud;
        EXPECT_FALSE(ApplyLineSettings(line, dcb)) << baud;
    }
    LineSettings nineBits;
    nineBits.baud = 9600;
    nineBits.dataBits = 9;
    EXPECT_FALSE(ApplyLineSettings(nineBits, dcb));
    EXPECT_EQ(dcb.BaudRate, 2400u);
}

TEST(LineRecordWin32, BinaryLineWithTheRequestedFormatAndNoFlowControl) {
    DCB dcb{};
    dcb.fOutxCtsFlow = TRUE;
    dcb.fOutxDsrFlow = TRUE;
    dcb.fOutX = TRUE;
    dcb.fInX = TRUE;
    dcb.fAbortOnError = TRUE;
    dcb.fNull = TRUE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.XonChar = 0x11;
    LineSettings line;
    line.baud = 19200;
    line.parity = Parity::kEven;
    line.dataBits = 7;
    line.stopBits = 2;
    ASSERT_TRUE(ApplyLineSettings(line, dcb));
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_TRUE(dcb.fParity);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_FALSE(dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fOutX || dcb.fInX);
    EXPECT_FALSE(dcb.fAbortOnError);  // a line error would stop every later transfer
    EXPECT_FALSE(dcb.fNull);          // 00 is data
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.XonChar, 0x11);  // what the line settings do not decide stays

    line.parity = Parity::kMark;
    ASSERT_TRUE(ApplyLineSettings(line, dcb));
    EXPECT_EQ(dcb.Parity, MARKPARITY);
    line.parity = Parity::kNone;
    line.dataBits = 8;
    line.stopBits = 1;
    ASSERT_TRUE(ApplyLineSettings(line, dcb));
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_FALSE(dcb.fParity);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
}

}  // namespace
}  // namespace ducta
