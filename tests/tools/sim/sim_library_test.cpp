// The simulator seen through the six exports of a private copy of libducta.so: COM1 is mapped
// to the simulator's stable link, so the same DUCTA.INI serves it across a restart.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>

#include "ducta_copy.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "wait_until.h"

namespace vr620_test {
namespace {

struct ReadBack {
    uint16_t result = 0xEEEE;
    uint16_t index = 0;
    uint8_t command = 0;
    uint8_t ok = 0;
    std::vector<uint8_t> data;
};

ReadBack Transact(DuctaCopy& lib, uint16_t index, uint8_t command,
                  const std::vector<uint8_t>& value = {}) {
    ReadBack r;
    EXPECT_EQ(lib.Write(0, 0, index, command, value.empty() ? nullptr : value.data(),
                        static_cast<uint16_t>(value.size())),
              DCT_RESULT_OK);
    uint8_t data[DCT_READ_BUFFER_SIZE] = {};
    uint16_t length = 0;
    r.result = lib.Read(0, 0, &r.index, &r.command, &r.ok, data, &length);
    if (length <= DCT_MAX_DATA) r.data.assign(data, data + length);
    return r;
}

TEST(SimThroughTheLibrary, AValueWrittenComesBackAfterTheSimulatorRestarts) {
    TempDir dir;
    const std::string link = (dir / "ttyVR620").string();
    const std::string data = (dir / "points.txt").string();
    DuctaCopy lib(dir.Path());
    lib.WriteIni("[Ports]\r\nCOM1=" + link + "\r\n[Direct]\r\nBaudRate=9600\r\n");
    {
        SimProcess sim({"--link", link, "--data", data, "--baud", "9600"});
        ASSERT_TRUE(sim.Started()) << sim.Error();
        lib.module_open();
        ASSERT_EQ(lib.Open(0, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
        const ReadBack read = Transact(lib, 0x0102, DCT_COMMAND_READ);
        EXPECT_EQ(read.result, DCT_RESULT_OK);
        EXPECT_EQ(read.ok, 1);
        EXPECT_EQ(read.command, 0x80);
        EXPECT_EQ(read.index, 0x0102);
        EXPECT_EQ(read.data, (std::vector<uint8_t>{0xAA, 0xBB}));

        const ReadBack write = Transact(lib, 0x0102, DCT_COMMAND_WRITE, {0x0C, 0x0D, 0x0E});
        EXPECT_EQ(write.result, DCT_RESULT_OK);
        EXPECT_EQ(write.command, 0x82);
        EXPECT_TRUE(write.data.empty());
        EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
    }
    SimProcess sim({"--link", link, "--data", data, "--baud", "9600"});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    ASSERT_EQ(lib.Open(0, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
    EXPECT_EQ(Transact(lib, 0x0102, DCT_COMMAND_READ).data,
              (std::vector<uint8_t>{0x0C, 0x0D, 0x0E}));
    // A refused request is the library's flagged result, with the index kept.
    const ReadBack unknown = Transact(lib, 0x4242, DCT_COMMAND_WRITE, {0x01});
    EXPECT_EQ(unknown.result, DCT_RESULT_FLAGGED);
    EXPECT_EQ(unknown.command, 0x83);
    EXPECT_EQ(unknown.index, 0x4242);
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
    lib.module_close();
}

TEST(SimThroughTheLibrary, AnAdapterPulledOutAndPluggedBackServesTheSameOpenChannel) {
    TempDir dir;
    const std::filesystem::path link = dir / "ttyVR620";
    DuctaCopy lib(dir.Path());
    lib.WriteIni("[Ports]\r\nCOM1=" + link.string() + "\r\n[Direct]\r\nBaudRate=9600\r\n");
    SimProcess sim({"--link", link.string(), "--baud", "9600"});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    lib.module_open();
    ASSERT_EQ(lib.Open(0, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
    EXPECT_EQ(Transact(lib, 0x0102, DCT_COMMAND_READ).result, DCT_RESULT_OK);

    testing::internal::CaptureStderr();
    kill(sim.Pid(), SIGUSR1);
    ASSERT_TRUE(WaitUntil([&] { return !std::filesystem::exists(link); }));
    uint8_t ok = 0, data[DCT_READ_BUFFER_SIZE];
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lib.Write(0, 0, 0x0102, DCT_COMMAND_READ, nullptr, 0), DCT_RESULT_FAILED);
        EXPECT_EQ(lib.Read(0, 0, nullptr, nullptr, &ok, data, nullptr), DCT_RESULT_FAILED);
    }
    kill(sim.Pid(), SIGUSR2);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(link); }));
    EXPECT_EQ(Transact(lib, 0x0102, DCT_COMMAND_READ).data, (std::vector<uint8_t>{0xAA, 0xBB}));
    const std::string said = testing::internal::GetCapturedStderr();
    for (const char* line : {"port lost (hang-up)", "cannot reopen: cannot open: No such file",
                             "left out)", "reopened"}) {
        EXPECT_NE(said.find(line), std::string::npos) << line << " in:\n" << said;
    }
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
}

}  // namespace
}  // namespace vr620_test
