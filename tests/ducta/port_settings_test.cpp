#include "port_settings.h"

#include <gtest/gtest.h>

#include "extract_field.h"
#include "termios_line.h"

namespace ducta {
namespace {

TEST(ExtractField, SplitsAtTheSeparator) {
    EXPECT_EQ(ExtractField(',', 0, "1,9600,n,8,1"), "1");
    EXPECT_EQ(ExtractField(',', 1, "1,9600,n,8,1"), "9600");
    EXPECT_EQ(ExtractField(',', 4, "1,9600,n,8,1"), "1");
    EXPECT_EQ(ExtractField(',', 5, "1,9600,n,8,1"), std::nullopt);
    EXPECT_EQ(ExtractField(',', 1, "2,,n"), "");
    EXPECT_EQ(ExtractField(',', 2, "a,b,"), "");
    EXPECT_EQ(ExtractField(',', 0, "3"), "3");
    EXPECT_EQ(ExtractField(',', 1, "3"), std::nullopt);
}

TEST(ExtractField, NullOrEmptyTextHasNoFields) {
    EXPECT_EQ(ExtractField(',', 0, nullptr), std::nullopt);
    EXPECT_EQ(ExtractField(',', 0, ""), std::nullopt);
}

TEST(ExtractField, QuotedStretchesAreNotSplit) {
    EXPECT_EQ(ExtractField(',', 0, "\"a,b\",c"), "\"a,b\"");
    EXPECT_EQ(ExtractField(',', 1, "\"a,b\",c"), "c");
    EXPECT_EQ(ExtractField(',', 0, R"("x\",y",z)"), R"("x\",y")");
    EXPECT_EQ(ExtractField(',', 1, R"("x\",y",z)"), "z");
    // With the double quote as separator, quotes split like any separator.
    EXPECT_EQ(ExtractField('"', 1, "a\"b\"c"), "b");
}

TEST(SettingsText, FullTextAndDefaults) {
    PortSettings s = ParseSettingsText("1,9600,n,8,1");
    EXPECT_EQ(s.port, 1);
    EXPECT_EQ(s.baud, 9600);
    EXPECT_EQ(s.parity, 'n');
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.stopBits, 1);

    PortSettings only = ParseSettingsText("3");
    EXPECT_EQ(only.port, 3);
    EXPECT_EQ(only.baud, 9600);
    EXPECT_EQ(only.parity, 'n');
    EXPECT_EQ(only.dataBits, 8);
    EXPECT_EQ(only.stopBits, 1);

    PortSettings none = ParseSettingsText(nullptr);
    EXPECT_EQ(none.port, 1);
    EXPECT_EQ(none.baud, 9600);
}

TEST(SettingsText, ParityLettersAndEmptyFields) {
    PortSettings even = ParseSettingsText("2,19200,E,7,1");
    EXPECT_EQ(even.parity, 'e');
    EXPECT_EQ(even.dataBits, 7);
    EXPECT_EQ(even.baud, 19200);
    EXPECT_EQ(ParseSettingsText("1,1200,  o,8,1").parity, 'o');
    EXPECT_EQ(ParseSettingsText("1,1200,M").parity, 'm');
    EXPECT_EQ(ParseSettingsText("1,1200,s").parity, 's');
    EXPECT_EQ(ParseSettingsText("1,1200,x").parity, 'n');
    EXPECT_EQ(ParseSettingsText("1,1200,").parity, 'n');
    // An empty baud field is 0, not the default; a field that is no number is 0 too.
    EXPECT_EQ(ParseSettingsText("2,,n,8,1").baud, 0);
    EXPECT_EQ(ParseSettingsText("2,fast,n,8,1").baud, 0);
    EXPECT_EQ(ParseSettingsText("2,96x,n,8,1").baud, 96);
}

TEST(BuildString, FormatsTheLibrarysText) {
    EXPECT_EQ(FormatBuildString(ParseSettingsText("1,9600,n,8,1")),
              "baud=9600 parity=n data=8 stop=1");
    EXPECT_EQ(FormatBuildString(ParseSettingsText("2,,E,7,2")), "baud=0 parity=e data=7 stop=2");
}

TEST(BuildString, ParsesKeywordsInAnyCase) {
    auto line = ParseBuildString("BAUD=19200 Parity=E data=7 stop=2");
    ASSERT_TRUE(line);
    EXPECT_EQ(line->baud, 19200);
    EXPECT_EQ(line->parity, Parity::kEven);
    EXPECT_EQ(line->dataBits, 7);
    EXPECT_EQ(line->stopBits, 2);
    EXPECT_EQ(ParseBuildString("parity=m")->parity, Parity::kMark);
    EXPECT_EQ(ParseBuildString("parity=s")->parity, Parity::kSpace);
    EXPECT_EQ(ParseBuildString("parity=o")->parity, Parity::kOdd);
}

TEST(BuildString, RefusesWhatTheLineCannotBe) {
    EXPECT_FALSE(ParseBuildString("baud=9600 parity=n data=9 stop=1"));
    EXPECT_FALSE(ParseBuildString("baud=9600 parity=n data=4 stop=1"));
    EXPECT_FALSE(ParseBuildString("baud=9600 parity=n data=8 stop=3"));
    EXPECT_FALSE(ParseBuildString("baud=9600 parity=n data=8 stop=0"));
    EXPECT_FALSE(ParseBuildString("baud=-5 parity=n data=8 stop=1"));
    EXPECT_FALSE(ParseBuildString("baud=9600 parity=x data=8 stop=1"));
    EXPECT_FALSE(ParseBuildString("baud=9600 speed=fast"));
    EXPECT_FALSE(ParseBuildString("baud="));
}

TEST(TermiosLine, SpeedsThatTermiosCannotSetAreRefused) {
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

TEST(TermiosLine, RawLineWithTheRequestedFormat) {
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
    EXPECT_EQ(tio.c_cc[VMIN], 0);

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
