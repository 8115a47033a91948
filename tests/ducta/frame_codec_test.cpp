#include "frame_codec.h"

#include <gtest/gtest.h>

#include <vector>

namespace ducta {
namespace {

std::vector<std::uint8_t> Build(std::uint8_t command, std::uint16_t index,
                                std::vector<std::uint8_t> data) {
    std::array<std::uint8_t, kMaxFrameSize> out{};
    std::size_t n = BuildFrame(command, static_cast<std::uint8_t>(index >> 8),
                               static_cast<std::uint8_t>(index & 0xFF), data, out);
    return {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n)};
}

// Feeds all bytes; returns the number of bytes consumed until the frame completed.
std::size_t FeedAll(FrameReader& reader, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (reader.Feed(bytes[i])) return i + 1;
    }
    return 0;
}

TEST(FrameCodec, BuildsTheDocumentedReadAndWriteRequests) {
    EXPECT_EQ(Build(0x81, 0x0102, {}),
              (std::vector<std::uint8_t>{0x02, 0x81, 0x02, 0x01, 0x02, 0x86}));
    EXPECT_EQ(Build(0x82, 0x0010, {0x12, 0x34}),
              (std::vector<std::uint8_t>{0x02, 0x82, 0x04, 0x00, 0x10, 0x12, 0x34, 0xDC}));
}

TEST(FrameCodec, ChecksumWrapsAndSkipsTheStartByte) {
    EXPECT_EQ(FrameChecksum(std::vector<std::uint8_t>{}), 0);
    EXPECT_EQ(FrameChecksum(std::vector<std::uint8_t>{0xFF, 0x02}), 0x01);
    auto frame = Build(0xF0, 0xFFFF, std::vector<std::uint8_t>(10, 0xEE));
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i + 1 < frame.size(); ++i)
        sum = static_cast<std::uint8_t>(sum + frame[i]);
    EXPECT_EQ(frame.back(), sum);
}

TEST(FrameCodec, LargestFrameFitsAndLargerDataIsRefused) {
    auto frame = Build(0x82, 1, std::vector<std::uint8_t>(kMaxFrameData, 0xAB));
    ASSERT_EQ(frame.size(), kMaxFrameSize);
    EXPECT_EQ(frame[2], 255);
    std::array<std::uint8_t, kMaxFrameSize> out{};
    std::vector<std::uint8_t> tooLong(kMaxFrameData + 1, 1);
    EXPECT_EQ(BuildFrame(0x82, 0, 1, tooLong, out), 0u);

    FrameReader reader;
    EXPECT_EQ(FeedAll(reader, frame), frame.size());
    Frame f = reader.Result();
    EXPECT_TRUE(f.checksumOk);
    EXPECT_EQ(f.dataSize, kMaxFrameData);
    EXPECT_EQ(f.data.back(), 0xAB);
}

TEST(FrameReader, ReadsAValidReplyAndIgnoresBytesAfterIt) {
    auto frame = Build(0x80, 0x0010, {0x12, 0x34});
    frame.push_back(0x55);
    FrameReader reader;
    EXPECT_EQ(FeedAll(reader, frame), frame.size() - 1);
    EXPECT_TRUE(reader.Feed(0x02));  // already complete: ignored
    Frame f = reader.Result();
    EXPECT_TRUE(f.checksumOk);
    EXPECT_FALSE(f.Flagged());
    EXPECT_EQ(f.command, 0x80);
    EXPECT_EQ(f.Index(), 0x0010);
    ASSERT_EQ(f.dataSize, 2u);
    EXPECT_EQ(f.data[0], 0x12);
    EXPECT_EQ(f.data[1], 0x34);
}

TEST(FrameReader, DropsNoiseBeforeTheStartByte) {
    std::vector<std::uint8_t> bytes{0x00, 0xFF, 0x55, 0x03, 0x81};
    auto frame = Build(0x80, 0x0001, {0x01});
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    FrameReader reader;
    EXPECT_EQ(FeedAll(reader, bytes), bytes.size());
    EXPECT_EQ(reader.Received(), frame.size());
    EXPECT_TRUE(reader.Result().checksumOk);
    EXPECT_EQ(reader.Result().Index(), 1);
}

TEST(FrameReader, StrayStartByteIsTakenAsTheStart) {
    // 02 then the real reply: the real start byte becomes the command byte and the reply's
    // command byte (0x80) the length, so the reader waits for 132 bytes that never come.
    std::vector<std::uint8_t> bytes{0x02};
    auto frame = Build(0x80, 0x0010, {0x12, 0x34});
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    FrameReader reader;
    EXPECT_EQ(FeedAll(reader, bytes), 0u);
    EXPECT_FALSE(reader.Complete());
    EXPECT_EQ(reader.Received(), bytes.size());

    // A stray start byte before a short reply ends as a checksum mismatch instead.
    FrameReader shortReader;
    EXPECT_EQ(FeedAll(shortReader, {0x02, 0x02, 0x01, 0x00, 0x05, 0x99}), 5u);
    Frame f = shortReader.Result();
    EXPECT_EQ(f.command, 0x02);
    EXPECT_EQ(f.lengthByte, 0x01);
    EXPECT_FALSE(f.checksumOk);
}

TEST(FrameReader, DetectsChecksumMismatchButKeepsTheFields) {
    auto frame = Build(0x80, 0x0102, {0xAA, 0xBB});
    frame.back() ^= 0x01;
    FrameReader reader;
    FeedAll(reader, frame);
    Frame f = reader.Result();
    EXPECT_FALSE(f.checksumOk);
    EXPECT_EQ(f.command, 0x80);
    EXPECT_EQ(f.Index(), 0x0102);
    EXPECT_EQ(f.dataSize, 2u);
}

TEST(FrameReader, FlagsOddCommandBytes) {
    FrameReader reader;
    FeedAll(reader, Build(0x81, 0x0999, {}));
    EXPECT_TRUE(reader.Result().checksumOk);
    EXPECT_TRUE(reader.Result().Flagged());
}

TEST(FrameReader, LengthByteZeroOrOneCarriesNoData) {
    // L = 0: STX cmd 00 checksum (four bytes); L = 1: STX cmd 01 x checksum (five bytes).
    FrameReader zero;
    EXPECT_EQ(FeedAll(zero, {0x02, 0x80, 0x00, 0x80, 0x99}), 4u);
    Frame f0 = zero.Result();
    EXPECT_TRUE(f0.checksumOk);
    EXPECT_EQ(f0.dataSize, 0u);
    EXPECT_EQ(f0.lengthByte, 0);

    FrameReader one;
    EXPECT_EQ(FeedAll(one, {0x02, 0x80, 0x01, 0x07, 0x88, 0x99}), 5u);
    Frame f1 = one.Result();
    EXPECT_TRUE(f1.checksumOk);
    EXPECT_EQ(f1.dataSize, 0u);
    EXPECT_EQ(f1.indexHigh, 0x07);
}

TEST(FrameReader, ResetStartsAFreshFrame) {
    FrameReader reader;
    FeedAll(reader, {0x02, 0x80, 0x04, 0x00});
    EXPECT_FALSE(reader.Complete());
    reader.Reset();
    EXPECT_EQ(reader.Received(), 0u);
    auto frame = Build(0x80, 0x0002, {0x00, 0x64});
    EXPECT_EQ(FeedAll(reader, frame), frame.size());
    EXPECT_TRUE(reader.Result().checksumOk);
}

}  // namespace
}  // namespace ducta
