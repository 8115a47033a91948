// Request and reply through the exports, with the test playing the device byte for byte.
#include "library_fixture.h"

namespace ducta_test {
namespace {

class FrameExchange : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    }
};

TEST_F(FrameExchange, ValidReplyFillsEverything) {
    Request(0x0102);
    pty.Send(Reply(0x80, 0x0102, {0xAA, 0xBB}));
    ReadResult r = Read();
    EXPECT_EQ(r.result, DCT_RESULT_OK);
    EXPECT_EQ(r.ok, 1);
    EXPECT_EQ(r.command, 0x80);
    EXPECT_EQ(r.index, 0x0102);
    EXPECT_EQ(r.length, 2);
    EXPECT_EQ(r.data[0], 0xAA);
    EXPECT_EQ(r.data[1], 0xBB);
    EXPECT_EQ(r.data[2], 0x00);
    EXPECT_EQ(r.data[3], 0xEE);  // nothing written past the NUL
}

TEST_F(FrameExchange, WriteRequestAndAcknowledgement) {
    const uint8_t value[] = {0x12, 0x34};
    ASSERT_EQ(lib.Write(0, 0, 0x0010, DCT_COMMAND_WRITE, value, 2), DCT_RESULT_OK);
    EXPECT_EQ(pty.Receive(8), (Bytes{0x02, 0x82, 0x04, 0x00, 0x10, 0x12, 0x34, 0xDC}));
    pty.Send(Reply(0x82, 0x0010, {}));
    ReadResult r = Read();
    EXPECT_EQ(r.result, DCT_RESULT_OK);
    EXPECT_EQ(r.length, 0);
    EXPECT_EQ(r.data[0], 0x00);
}

TEST_F(FrameExchange, OptionalOutValuesMayBeNull) {
    Request(0x0001);
    pty.Send(Reply(0x80, 0x0001, {0x01}));
    uint8_t ok = 0, data[DCT_READ_BUFFER_SIZE] = {};
    EXPECT_EQ(lib.Read(0, 0, nullptr, nullptr, &ok, data, nullptr), DCT_RESULT_OK);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(data[0], 0x01);
    // The checks still run without them.
    Request(0x0001);
    Bytes bad = Reply(0x80, 0x0001, {0x01});
    bad.back() ^= 0xFF;
    pty.Send(bad);
    ok = 0;
    EXPECT_EQ(lib.Read(0, 0, nullptr, nullptr, &ok, data, nullptr), DCT_RESULT_CHECKSUM);
    EXPECT_EQ(ok, 0);
}

TEST_F(FrameExchange, NoiseBeforeTheStartByteIsSkipped) {
    Request(0x0010);
    Bytes bytes{0x00, 0xFF, 0x55, 0x80, 0x03};
    Bytes reply = Reply(0x80, 0x0010, {0x12, 0x34});
    bytes.insert(bytes.end(), reply.begin(), reply.end());
    pty.Send(bytes);
    ReadResult r = Read();
    EXPECT_EQ(r.result, DCT_RESULT_OK);
    EXPECT_EQ(r.index, 0x0010);
    EXPECT_EQ(r.length, 2);
}

TEST_F(FrameExchange, ChecksumMismatchFillsOutValuesButNotOk) {
    Request(0x0102);
    Bytes reply = Reply(0x80, 0x0102, {0xAA, 0xBB});
    reply.back() = static_cast<uint8_t>(reply.back() + 1);
    pty.Send(reply);
    ReadResult r = Read();
    EXPECT_EQ(r.result, DCT_RESULT_CHECKSUM);
    EXPECT_EQ(r.ok, 7);
    EXPECT_EQ(r.command, 0x80);
    EXPECT_EQ(r.index, 0x0102);
    EXPECT_EQ(r.length, 2);
    EXPECT_EQ(r.data[0], 0xAA);
    EXPECT_EQ(r.data[2], 0x00);
}

TEST_F(FrameExchange, OddCommandByteIsAFlaggedReply) {
    Request(0x0999);
    pty.Send(Reply(0x81, 0x0999, {}));
    ReadResult r = Read();
    EXPECT_EQ(r.result, DCT_RESULT_FLAGGED);
    EXPECT_EQ(r.ok, 7);
    EXPECT_EQ(r.command, 0x81);
    EXPECT_EQ(r.index, 0x0999);
    EXPECT_EQ(r.length, 0);
}

TEST_F(FrameExchange, LengthByteZeroOrOneCarriesNoData) {
    // 02 80 00 80: checksum of 80 00 is 80.
    Request(0x0001);
    pty.Send(Bytes{0x02, 0x80, 0x00, 0x80});
    ReadResult zero = Read();
    EXPECT_EQ(zero.result, DCT_RESULT_OK);
    EXPECT_EQ(zero.length, 0xFFFE);  // length byte - 2: no data field
    EXPECT_EQ(zero.data[0], 0x00);
    EXPECT_EQ(zero.data[1], 0xEE);

    // 02 80 01 05 86: checksum of 80 01 05 is 86.
    Request(0x0001);
    pty.Send(Bytes{0x02, 0x80, 0x01, 0x05, 0x86});
    ReadResult one = Read();
    EXPECT_EQ(one.result, DCT_RESULT_OK);
    EXPECT_EQ(one.length, 0xFFFF);
    EXPECT_EQ(one.data[0], 0x00);
}

TEST_F(FrameExchange, BytesAfterTheFrameAreDiscardedByTheNextRequest) {
    Request(0x0001);
    Bytes reply = Reply(0x80, 0x0001, {0x01});
    reply.insert(reply.end(), {0x02, 0x80, 0x03});  // garbage after the frame
    pty.Send(reply);
    EXPECT_EQ(Read().result, DCT_RESULT_OK);
    Request(0x0002);  // purges the garbage before sending
    pty.Send(Reply(0x80, 0x0002, {0x00, 0x64}));
    ReadResult r = Read();
    EXPECT_EQ(r.result, DCT_RESULT_OK);
    EXPECT_EQ(r.index, 0x0002);
}

}  // namespace
}  // namespace ducta_test
