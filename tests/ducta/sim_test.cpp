// The whole road: the six exports of a library copy against vr620-sim, direct and through its
// simulated modem.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "../support/ducta_copy.h"
#include "../support/temp_dir.h"
#include "sim_process.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class WithSim : public ::testing::Test {
  protected:
    vr620_test::TempDir dir;
    vr620_test::DuctaCopy lib{dir.Path()};
    std::unique_ptr<vr620_test::SimProcess> sim;

    void StartSim(std::vector<std::string> args, const std::string& ini = "") {
        sim = std::make_unique<vr620_test::SimProcess>(args);
        ASSERT_TRUE(sim->Started()) << sim->Error();
        lib.WriteIni("[Ports]\r\nCOM1=" + sim->DevicePath() + "\r\n" + ini);
        lib.module_open();
    }
    void TearDown() override { lib.module_close(); }  // while the sim still answers

    struct Reply {
        uint16_t result = 0, index = 0, length = 0xEEEE;
        uint8_t command = 0, ok = 0;
        std::vector<uint8_t> data;
    };
    Reply Transact(uint16_t index, uint8_t command, const std::vector<uint8_t>& value = {}) {
        Reply r;
        EXPECT_EQ(lib.Write(0, 0, index, command, value.empty() ? nullptr : value.data(),
                            static_cast<uint16_t>(value.size())),
                  DCT_RESULT_OK);
        uint8_t data[DCT_READ_BUFFER_SIZE] = {};
        r.result = lib.Read(0, 0, &r.index, &r.command, &r.ok, data, &r.length);
        if (r.length <= DCT_MAX_DATA) r.data.assign(data, data + r.length);
        return r;
    }
};

TEST_F(WithSim, DirectReadAndWriteReachTheController) {
    StartSim({"--baud", "9600"}, "[Direct]\r\nBaudRate=9600\r\n");
    ASSERT_EQ(lib.Open(0, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
    Reply r = Transact(0x0102, DCT_COMMAND_READ);
    EXPECT_EQ(r.result, DCT_RESULT_OK);
    EXPECT_EQ(r.ok, 1);
    EXPECT_EQ(r.command, 0x80);
    EXPECT_EQ(r.index, 0x0102);
    EXPECT_EQ(r.data, (std::vector<uint8_t>{0xAA, 0xBB}));

    Reply w = Transact(0x0010, DCT_COMMAND_WRITE, {0x56, 0x78});
    EXPECT_EQ(w.result, DCT_RESULT_OK);
    EXPECT_EQ(w.command, 0x82);
    EXPECT_EQ(w.length, 0);
    EXPECT_EQ(Transact(0x0010, DCT_COMMAND_READ).data, (std::vector<uint8_t>{0x56, 0x78}));

    Reply big = Transact(0x0300, DCT_COMMAND_READ);  // the largest reply the frame allows
    EXPECT_EQ(big.result, DCT_RESULT_OK);
    ASSERT_EQ(big.length, 253);
    EXPECT_EQ(big.data[252], 0xFC);

    Reply unknown = Transact(0x7777, DCT_COMMAND_READ);
    EXPECT_EQ(unknown.result, DCT_RESULT_FLAGGED);
    EXPECT_EQ(unknown.command, 0x81);
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
}

TEST_F(WithSim, FaultPointsGiveTheirResults) {
    StartSim({"--baud", "4800"});  // the library's default speed and 500 ms time-out
    ASSERT_EQ(lib.Open(0, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
    EXPECT_EQ(Transact(0xFF01, DCT_COMMAND_READ).result, DCT_RESULT_TIMEOUT);
    Reply bad = Transact(0xFF02, DCT_COMMAND_READ);
    EXPECT_EQ(bad.result, DCT_RESULT_CHECKSUM);
    EXPECT_EQ(bad.ok, 0);
    EXPECT_EQ(bad.index, 0xFF02);
    EXPECT_EQ(Transact(0xFF03, DCT_COMMAND_READ).result, DCT_RESULT_OK);
    const uint16_t stray = Transact(0xFF04, DCT_COMMAND_READ).result;
    EXPECT_TRUE(stray == DCT_RESULT_TIMEOUT || stray == DCT_RESULT_CHECKSUM) << stray;
    EXPECT_EQ(Transact(0xFF05, DCT_COMMAND_READ).result, DCT_RESULT_OK);
    for (uint16_t index : {0xFF06, 0xFF07}) {
        Reply empty = Transact(index, DCT_COMMAND_READ);
        EXPECT_NE(empty.result, DCT_RESULT_TIMEOUT);
        EXPECT_GT(empty.length, DCT_MAX_DATA) << index;  // no data field
        EXPECT_TRUE(empty.data.empty()) << index;
    }
    EXPECT_EQ(Transact(0xFF08, DCT_COMMAND_READ).result, DCT_RESULT_FLAGGED);
    // The line is still good after all of them.
    EXPECT_EQ(Transact(0x0001, DCT_COMMAND_READ).data, std::vector<uint8_t>{0x01});
}

const char* const kInit = "ATE0S0=1\r;AT&W\r";
const char* const kDial = "ATDT 12345678\r";
const char* const kHangUp = ";+++;ATH\r";

TEST_F(WithSim, ModemOpenCarryAndCloseWithTheDefaultTexts) {
    StartSim({"--baud", "9600", "--modem", "--guard-ms", "200", "--banner", "CARRIER 9600"});
    const auto start = Clock::now();
    ASSERT_EQ(lib.Open(0, 0, 0, kInit, kDial, kHangUp, 0), DCT_RESULT_OK);
    // 500 ms settle, 250 ms pause, 500 ms dial delay at least.
    EXPECT_GE(Clock::now() - start, 1200ms);
    Reply r = Transact(0x0102, DCT_COMMAND_READ);
    EXPECT_EQ(r.result, DCT_RESULT_OK);
    EXPECT_EQ(r.data, (std::vector<uint8_t>{0xAA, 0xBB}));
    EXPECT_EQ(Transact(0x0002, DCT_COMMAND_WRITE, {0x01, 0x02}).result, DCT_RESULT_OK);
    EXPECT_EQ(Transact(0x0002, DCT_COMMAND_READ).data, (std::vector<uint8_t>{0x01, 0x02}));
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_FAILED);  // already hung up
}

TEST_F(WithSim, ModemWithLowerCaseResultsAndEcho) {
    StartSim({"--modem", "--lowercase", "--guard-ms", "200"});
    // No ATE0: the modem echoes the dial command ahead of its result.
    ASSERT_EQ(lib.Open(0, 0, 0, "AT\r", kDial, kHangUp, 0), DCT_RESULT_OK);
    EXPECT_EQ(Transact(0x0001, DCT_COMMAND_READ).result, DCT_RESULT_OK);
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
}

TEST_F(WithSim, ModemDialFailuresFailTheOpen) {
    for (const char* result : {"BUSY", "NO_CARRIER", "NO_ANSWER", "NO_DIAL", "ERROR", "RING"}) {
        SCOPED_TRACE(result);
        StartSim({"--modem", "--dial-result", result, "--dial-delay", "50"});
        EXPECT_EQ(lib.Open(0, 0, 0, kInit, kDial, kHangUp, 0), DCT_RESULT_FAILED);
        EXPECT_EQ(lib.Write(0, 0, 1, DCT_COMMAND_READ, nullptr, 0), DCT_RESULT_NOT_OPEN);
        EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_FAILED);
    }
}

TEST_F(WithSim, AssumedConnectionCarriesFramesAtOnce) {
    StartSim({"--modem", "--guard-ms", "200"});
    ASSERT_EQ(lib.Open(0, 0, 1, nullptr, kDial, kHangUp, 0), DCT_RESULT_OK);
    EXPECT_EQ(Transact(0x0010, DCT_COMMAND_READ).data, (std::vector<uint8_t>{0x12, 0x34}));
}

}  // namespace
