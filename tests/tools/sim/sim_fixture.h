// What the simulator tests share: request frames, the test's end of the simulator's line, and a
// fixture that runs the simulator and checks that it ends cleanly.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame_codec.h"
#include "line_end.h"
#include "sim_process.h"

namespace vr620_test {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

inline Bytes BuildRequest(std::uint8_t command, std::uint16_t point, const Bytes& data = {}) {
    std::array<std::uint8_t, ducta::kMaxFrameSize> out{};
    const std::size_t n = ducta::BuildFrame(command, static_cast<std::uint8_t>(point >> 8),
                                            static_cast<std::uint8_t>(point & 0xFF), data, out);
    return {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n)};
}

inline Bytes ToBytes(std::string_view text) {
    return {text.begin(), text.end()};
}
inline std::string ToText(const Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

// Sends a request and reads the reply frame.
inline Bytes Ask(LineEnd& port, const Bytes& request) {
    port.Send(request);
    return port.ReadFrame();
}

class SimTest : public ::testing::Test {
  protected:
    void StartSim(const std::vector<std::string>& args = {}) {
        sim_.emplace(args);
        ASSERT_TRUE(sim_->Started()) << sim_->Error();
        port_.emplace(sim_->DevicePath());
        ASSERT_TRUE(port_->IsOpen());
    }
    // The simulator must end cleanly too (a sanitizer report would make it fail).
    void TearDown() override {
        port_.reset();
        if (!sim_) return;
        const int status = sim_->Stop();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    }
    Bytes Ask(const Bytes& request) { return vr620_test::Ask(*port_, request); }

    std::optional<SimProcess> sim_;
    std::optional<LineEnd> port_;
};

}  // namespace vr620_test
