// Waits that run out real modem time-outs (at least 10 s each), kept apart so the rest of the
// suite stays fast.
#include <sys/resource.h>

#include <chrono>

#include "library_fixture.h"
#include "modem_peer.h"

namespace ducta_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class ModemWait : public LibraryTest {
  protected:
    void SetUp() override {
        WriteIni("[Modem]\r\nConnTimeOut=5\r\nCommandDelay=0\r\n");  // raised to 10 s
        lib.module_open();
    }
};

TEST_F(ModemWait, SilentModemFailsTheInitAfterTenSecondsWithoutSpinning) {
    ModemPeer modem(pty, [](const std::string&) { return std::optional<std::string>(); });
    const auto start = Clock::now();
    const double cpuStart = ProcessCpuSeconds();
    EXPECT_EQ(lib.Open(0, 0, 0, "ATZ\r", "ATDT1\r", nullptr, 0), DCT_RESULT_FAILED);
    const auto took = Clock::now() - start;
    const double cpu = ProcessCpuSeconds() - cpuStart;
    EXPECT_GE(took, 10s);
    EXPECT_LT(took, 20s);
    EXPECT_LT(cpu, 2.0);  // the wait sleeps on the port instead of polling a core
    EXPECT_EQ(modem.Texts(), std::vector<std::string>{"ATZ\r"});
}

TEST_F(ModemWait, ConnectWithoutLineEndRunsOutTheConnectionTimeOut) {
    ModemPeer modem(pty, [](const std::string& c) -> std::optional<std::string> {
        if (c.rfind("ATD", 0) == 0) return "\r\nCONNECT 9600";
        return "\r\nOK\r\n";
    });
    const auto start = Clock::now();
    EXPECT_EQ(lib.Open(0, 0, 0, "", "ATDT1\r", nullptr, 0), DCT_RESULT_FAILED);
    EXPECT_GE(Clock::now() - start, 10s);
    EXPECT_LT(Clock::now() - start, 20s);
}

}  // namespace
}  // namespace ducta_test
