// A private copy of the library with its own DUCTA.INI that maps COM1 to a pseudo-terminal
// whose master end the test plays.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <string>
#include <vector>

#include "../support/ducta_copy.h"
#include "../support/pty_pair.h"
#include "../support/temp_dir.h"

namespace ducta_test {

using Bytes = std::vector<std::uint8_t>;

class LibraryTest : public ::testing::Test {
  protected:
    vr620_test::TempDir dir;
    vr620_test::PtyPair pty;
    vr620_test::DuctaCopy lib{dir.Path()};

    // The Ports line for COM1 plus `extra` lines.
    void WriteIni(const std::string& extra = "") {
        lib.WriteIni("[Ports]\r\nCOM1=" + pty.Path() + "\r\n" + extra);
    }
    // Maps COM1 to a symbolic link to the pseudo-terminal, as /dev/serial/by-id/... names an
    // adapter. PullOut() removes both, so that a reopen cannot find another test's terminal
    // under a reused number.
    void WriteIniThroughLink(const std::string& extra = "") {
        std::filesystem::create_symlink(pty.Path(), dir / "ttyLINK");
        lib.WriteIni("[Ports]\r\nCOM1=" + (dir / "ttyLINK").string() + "\r\n" + extra);
    }
    void PullOut() {
        std::filesystem::remove(dir / "ttyLINK");
        pty.Vanish();
    }
    void SetUp() override {
        WriteIni("[Direct]\r\nPollTimeOut=250\r\n");
        lib.module_open();
    }
    uint16_t OpenDirect() { return lib.Open(0, 0, 0, nullptr, nullptr, nullptr, 0); }

    struct ReadResult {
        uint16_t result = 0;
        uint16_t index = 0xEEEE;
        uint8_t command = 0xEE;
        uint8_t ok = 7;  // neither 0 nor 1: shows whether it was written
        uint16_t length = 0xEEEE;
        uint8_t data[DCT_READ_BUFFER_SIZE];
    };
    ReadResult Read() {
        ReadResult r;
        std::fill(std::begin(r.data), std::end(r.data), 0xEE);
        r.result = lib.Read(0, 0, &r.index, &r.command, &r.ok, r.data, &r.length);
        return r;
    }
    // Sends a read request through the library and checks what reached the line.
    void Request(uint16_t index) {
        ASSERT_EQ(lib.Write(0, 0, index, DCT_COMMAND_READ, nullptr, 0), DCT_RESULT_OK);
        const Bytes expected{0x02,
                             0x81,
                             0x02,
                             static_cast<uint8_t>(index >> 8),
                             static_cast<uint8_t>(index & 0xFF),
                             static_cast<uint8_t>(0x83 + (index >> 8) + (index & 0xFF))};
        ASSERT_EQ(pty.Receive(expected.size()), expected);
    }
};

// A channel call's result and the reason it left as the thread's last error (ducta.h), read at
// once after it.
struct Called {
    template <typename Call>
    explicit Called(Call call) : result(call()), reason(errno) {}
    uint16_t result;
    int reason;
};

// The processor time this process has used, to show that a wait sleeps rather than spins.
inline double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// A reply frame with a correct checksum.
inline Bytes Reply(uint8_t command, uint16_t index, const Bytes& data) {
    Bytes f(data.size() + 6);
    f[0] = 0x02;
    f[1] = command;
    f[2] = static_cast<uint8_t>(data.size() + 2);
    f[3] = static_cast<uint8_t>(index >> 8);
    f[4] = static_cast<uint8_t>(index & 0xFF);
    std::copy(data.begin(), data.end(), f.begin() + 5);
    uint8_t sum = 0;
    for (std::size_t i = 1; i + 1 < f.size(); ++i) sum = static_cast<uint8_t>(sum + f[i]);
    f.back() = sum;
    return f;
}

}  // namespace ducta_test
