#include <gtest/gtest.h>

#include <array>
#include <string>

#include "modem.h"

namespace ducta {
namespace {

std::optional<ModemResult> R(const std::string& s) {
    return RecognizeResult(s);
}

TEST(ModemRecognition, ResultCodesIgnoringCase) {
    EXPECT_EQ(R("\r\nOK\r\n"), ModemResult::kOk);
    EXPECT_EQ(R("ok\r"), ModemResult::kOk);
    EXPECT_EQ(R("\r\nNO CARRIER\r\n"), ModemResult::kNoCarrier);
    EXPECT_EQ(R("Error\r"), ModemResult::kError);
    EXPECT_EQ(R("NO DIAL\r"), ModemResult::kNoDialTone);
    EXPECT_EQ(R("BUSY\r"), ModemResult::kBusy);
    EXPECT_EQ(R("no answer\r"), ModemResult::kNoAnswer);
    EXPECT_EQ(R("RING\r"), ModemResult::kRing);
    EXPECT_EQ(R("OK"), std::nullopt);  // the line is not finished
    EXPECT_EQ(R(""), std::nullopt);
}

TEST(ModemRecognition, ConnectNeedsALineEndAnywhereAfterIt) {
    EXPECT_EQ(R("\r\nCONNECT 9600/ARQ\r\n"), ModemResult::kConnect);
    EXPECT_EQ(R("connect\r"), ModemResult::kConnect);
    EXPECT_EQ(R("\r\nCONNECT 9600"), std::nullopt);
    // The scan ends at an unfinished CONNECT: a later code does not count.
    EXPECT_EQ(R("CONNECT 9600 OK\r"), ModemResult::kConnect);
}

TEST(ModemRecognition, EarliestMatchWinsAndOtherTextIsPassedOver) {
    EXPECT_EQ(R("ATDT 12345678\r\r\nBUSY\r\n"), ModemResult::kBusy);
    EXPECT_EQ(R("ATE0S0=1\r\r\nOK\r\n"), ModemResult::kOk);
    EXPECT_EQ(R("\r\nCARRIER 9600\r\nPROTOCOL: LAPM\r\nCOMPRESSION: V.42BIS\r\nCONNECT 9600\r\n"),
              ModemResult::kConnect);
    EXPECT_EQ(R("RING\r\nOK\r\n"), ModemResult::kRing);
    EXPECT_EQ(R("NO CARRIER\r\nOK\r\n"), ModemResult::kNoCarrier);
}

TEST(ModemReply, FullBufferDropsTheOldestTextAndStaysTerminated) {
    std::array<char, 8> buffer{};
    std::size_t length = 0;
    for (char c : std::string("banner text OK\r")) AppendToReply(buffer, length, c);
    EXPECT_EQ(length, 7u);
    EXPECT_EQ(std::string(buffer.data()), "ext OK\r");
    EXPECT_EQ(RecognizeResult({buffer.data(), length}), ModemResult::kOk);
    std::array<char, 1> tiny{'x'};
    std::size_t none = 0;
    AppendToReply(tiny, none, 'a');  // no room for text and NUL: nothing written
    EXPECT_EQ(none, 0u);
    EXPECT_EQ(tiny[0], 'x');
}

}  // namespace
}  // namespace ducta
