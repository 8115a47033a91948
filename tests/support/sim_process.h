// Starts vr620-sim for a test and stops it again.
//
//     vr620_test::SimProcess sim({"--baud", "9600"});
//     ASSERT_TRUE(sim.Started()) << sim.Error();
//     OpenThePort(sim.DevicePath());
//
// The program is VR620_SIM_PATH (set by the CMake target vr620_test_support) unless another
// path is given. Standard error of the simulator goes to the test's own standard error, or to
// a file when `stderrFile` is set (to look at the --verbose trace). The end is ProgramRun's:
// SIGTERM and SIGKILL after a bound, so no test leaves the simulator behind.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "deadline.h"
#include "program_run.h"

namespace vr620_test {

class SimProcess : public ProgramRun {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kStartBound{15};

#ifdef VR620_SIM_PATH
    explicit SimProcess(const std::vector<std::string>& args, std::string stderrFile = {})
        : SimProcess(VR620_SIM_PATH, args, std::move(stderrFile)) {}
#endif

    SimProcess(const std::string& program, const std::vector<std::string>& args,
               std::string stderrFile)
        : ProgramRun(program, args, Streams{{}, std::move(stderrFile)}), error_(StartError()) {
        if (error_.empty()) ReadDeviceLine();
    }

    // True once the simulator has printed its "device: " line.
    bool Started() const {
        return !devicePath_.empty();
    }
    // The path of the line the simulator serves (the pseudo-terminal, or --device).
    const std::string& DevicePath() const {
        return devicePath_;
    }
    // What went wrong while starting, in words.
    const std::string& Error() const {
        return error_;
    }

  private:
    void ReadDeviceLine() {
        static constexpr std::string_view kPrefix = "device: ";
        const Clock::time_point deadline = Clock::now() + kStartBound;
        std::string line;
        while (line.find('\n') == std::string::npos && line.size() < 4096) {
            const int left = common::MillisecondsUntil(deadline);
            if (left == 0) {
                error_ = "no 'device:' line from the simulator within " +
                         std::to_string(kStartBound.count()) + " s";
                return;
            }
            pollfd pfd{OutputPipe(), POLLIN, 0};
            if (poll(&pfd, 1, left) <= 0) continue;
            char buf[256];
            const ssize_t n = read(OutputPipe(), buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                Wait(std::chrono::seconds(2));
                error_ = "the simulator ended before it printed its device (wait status " +
                         std::to_string(Status()) + ")";
                return;
            }
            line.append(buf, static_cast<std::size_t>(n));
        }
        line = line.substr(0, line.find('\n'));
        if (line.rfind(kPrefix, 0) != 0 || line.size() == kPrefix.size()) {
            error_ = "unexpected first line from the simulator: '" + line + "'";
            return;
        }
        devicePath_ = line.substr(kPrefix.size());
    }

    std::string devicePath_;
    std::string error_;
};

}  // namespace vr620_test
