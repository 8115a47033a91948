// Receive time-outs through the exports. Bounds are loose: they must hold on a loaded machine.
#include <chrono>
#include <thread>

#include "library_fixture.h"

namespace ducta_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class FrameTiming : public LibraryTest {
  protected:
    std::chrono::milliseconds TimedRead(ReadResult& r) {
        const auto start = Clock::now();
        r = Read();
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    }
};

TEST_F(FrameTiming, SilenceEndsAfterThePollTimeOutPlusOneWait) {
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);  // PollTimeOut=250: 26 idle waits of 10 ms
    Request(0x0001);
    ReadResult r;
    const auto took = TimedRead(r);
    EXPECT_EQ(r.result, DCT_RESULT_TIMEOUT);
    EXPECT_EQ(r.length, 0);
    EXPECT_EQ(r.ok, 7);
    EXPECT_GE(took, 255ms);
    EXPECT_LT(took, 3000ms);
}

TEST_F(FrameTiming, ReplyThatStopsEarlyTimesOut) {
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    Request(0x0010);
    pty.Send(Bytes{0x02, 0x80, 0x04});
    ReadResult r;
    const auto took = TimedRead(r);
    EXPECT_EQ(r.result, DCT_RESULT_TIMEOUT);
    EXPECT_EQ(r.length, 0);
    EXPECT_GE(took, 255ms);
}

TEST_F(FrameTiming, StrayStartByteEndsInATimeOut) {
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    Request(0x0010);
    Bytes bytes{0x02};
    Bytes reply = Reply(0x80, 0x0010, {0x12, 0x34});
    bytes.insert(bytes.end(), reply.begin(), reply.end());
    pty.Send(bytes);  // read as a frame of 0x80 + 4 bytes that never complete
    ReadResult r;
    TimedRead(r);
    EXPECT_EQ(r.result, DCT_RESULT_TIMEOUT);
}

TEST_F(FrameTiming, SlowlyArrivingFrameStillCompletes) {
    WriteIni("[Direct]\r\nPollTimeOut=500\r\n");
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    Request(0x0102);
    const Bytes reply = Reply(0x80, 0x0102, {0xAA, 0xBB});
    std::thread device([&] {
        for (uint8_t b : reply) {  // a slow device: about 40 ms between bytes
            pty.Send(Bytes{b});
            std::this_thread::sleep_for(40ms);
        }
    });
    ReadResult r;
    const auto took = TimedRead(r);
    device.join();
    EXPECT_EQ(r.result, DCT_RESULT_OK);
    EXPECT_EQ(r.length, 2);
    EXPECT_GE(took, 200ms);
}

TEST_F(FrameTiming, LargestReplyAtLineSpeedCompletesAtTheDefaults) {
    // 4800 bit/s and 500 ms: the 259 bytes take about 540 ms on the line, longer than the
    // time-out, but bytes that keep coming at the line's speed are not silence.
    WriteIni();
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    Request(0x0300);
    const Bytes reply = Reply(0x80, 0x0300, Bytes(DCT_MAX_DATA, 0x5A));
    std::thread device([&] {
        auto at = Clock::now();
        for (uint8_t b : reply) {
            at += 2083us;  // 10 bits at 4800 bit/s
            std::this_thread::sleep_until(at);
            pty.Send(Bytes{b});
        }
    });
    ReadResult r;
    TimedRead(r);
    device.join();
    EXPECT_EQ(r.result, DCT_RESULT_OK);
    EXPECT_EQ(r.length, DCT_MAX_DATA);
}

TEST_F(FrameTiming, ReplyDribbledWithLongGapsStillTimesOut) {
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);  // 250 ms of silence in all
    Request(0x0010);
    const Bytes reply = Reply(0x80, 0x0010, Bytes(6, 0x11));  // 11 gaps of 40 ms
    std::thread device([&] {
        for (uint8_t b : reply) {
            pty.Send(Bytes{b});
            std::this_thread::sleep_for(40ms);
        }
    });
    ReadResult r;
    TimedRead(r);
    device.join();
    EXPECT_EQ(r.result, DCT_RESULT_TIMEOUT);
}

// The adapter pulled out in the middle of a read, or while nothing was asked of it: the call
// fails at once (not with a time-out) and the library does not spin while it waits.
class HangUp : public FrameTiming, public ::testing::WithParamInterface<bool> {};

TEST_P(HangUp, EndsTheExchangeAtOnceWithoutSpinning) {
    // A long time-out: a read that waited it out or spun through it would show.
    WriteIniThroughLink("[Direct]\r\nPollTimeOut=5000\r\n");
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    const double cpuBefore = ProcessCpuSeconds();
    if (GetParam()) {
        Request(0x0010);
        std::thread device([&] {
            pty.Send(Bytes{0x02, 0x80, 0x04});
            std::this_thread::sleep_for(100ms);  // the read is waiting for the rest
            PullOut();
        });
        EXPECT_EQ(Read().result, DCT_RESULT_FAILED);
        device.join();
    } else {
        PullOut();
        EXPECT_EQ(Read().result, DCT_RESULT_FAILED);
    }
    // Gone for good: every further call fails at once as well.
    EXPECT_EQ(lib.Write(0, 0, 0x0010, DCT_COMMAND_READ, nullptr, 0), DCT_RESULT_FAILED);
    EXPECT_EQ(Read().result, DCT_RESULT_FAILED);
    EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.5);
}

INSTANTIATE_TEST_SUITE_P(MidReadAndIdle, HangUp, ::testing::Bool());

TEST_F(FrameTiming, ReplyIsTakenAsSoonAsItsLastByteArrives) {
    WriteIni("[Direct]\r\nPollTimeOut=5000\r\n");
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    Request(0x0001);
    std::thread device([&] {
        std::this_thread::sleep_for(50ms);  // the device's turn-around
        pty.Send(Reply(0x80, 0x0001, {0x01}));
    });
    ReadResult r;
    const auto took = TimedRead(r);
    device.join();
    EXPECT_EQ(r.result, DCT_RESULT_OK);
    EXPECT_LT(took, 2000ms);  // far below the 5 s time-out
}

TEST_F(FrameTiming, PollTimeOutComesFromTheFileWithItsLowerBound) {
    WriteIni("[Direct]\r\nPollTimeOut=100\r\n");  // raised to 250
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    Request(0x0001);
    ReadResult r;
    EXPECT_GE(TimedRead(r), 255ms);
    EXPECT_EQ(r.result, DCT_RESULT_TIMEOUT);

    WriteIni("[Direct]\r\nPollTimeOut=600\r\n");  // read again at the next open
    ASSERT_EQ(OpenDirect(), DCT_RESULT_OK);
    Request(0x0001);
    EXPECT_GE(TimedRead(r), 605ms);
}

}  // namespace
}  // namespace ducta_test
