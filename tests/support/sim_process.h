// Starts vr620-sim for a test and stops it again.
//
//     vr620_test::SimProcess sim({"--baud", "9600"});
//     ASSERT_TRUE(sim.Started()) << sim.Error();
//     OpenThePort(sim.DevicePath());
//
// The program is VR620_SIM_PATH (set by the CMake target vr620_test_support) unless another
// path is given. Standard error of the simulator goes to the test's own standard error, or to
// a file when `stderrFile` is set (to look at the --verbose trace). The destructor sends
// SIGTERM and reaps the process, with SIGKILL after a bound, so no test leaves it behind.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace vr620_test {

class SimProcess {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kStartBound{15};
    static constexpr std::chrono::seconds kStopBound{5};

#ifdef VR620_SIM_PATH
    explicit SimProcess(const std::vector<std::string>& args, std::string stderrFile = {})
        : SimProcess(VR620_SIM_PATH, args, std::move(stderrFile)) {}
#endif

    SimProcess(const std::string& program, const std::vector<std::string>& args,
               std::string stderrFile) {
        Start(program, args, stderrFile);
    }
    ~SimProcess() {
        Stop();
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

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
    pid_t Pid() const {
        return pid_;
    }

    // Sends SIGTERM and waits for the process; SIGKILL after kStopBound. Gives the wait status
    // (use WIFEXITED/WEXITSTATUS), or -1 when there was no process.
    int Stop() {
        if (outFd_ >= 0) {
            close(outFd_);
            outFd_ = -1;
        }
        if (pid_ <= 0) return status_;
        kill(pid_, SIGTERM);
        const Clock::time_point deadline = Clock::now() + kStopBound;
        while (Clock::now() < deadline) {
            if (Reap(WNOHANG)) return status_;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        kill(pid_, SIGKILL);
        Reap(0);
        return status_;
    }

    // True (with the status) once the process has ended by itself.
    bool Exited(int* status = nullptr) {
        if (pid_ > 0) Reap(WNOHANG);
        if (status != nullptr) *status = status_;
        return pid_ <= 0 && status_ != -1;
    }

  private:
    void Start(const std::string& program, const std::vector<std::string>& args,
               const std::string& stderrFile) {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) {
            error_ = std::string("pipe: ") + std::strerror(errno);
            return;
        }
        std::vector<std::string> argvStrings{program};
        argvStrings.insert(argvStrings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& s : argvStrings) argv.push_back(s.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        if (!stderrFile.empty()) {
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrFile.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        outFd_ = pipeFds[0];
        if (rc != 0) {
            pid_ = -1;
            error_ = "cannot start " + program + ": " + std::strerror(rc);
            return;
        }
        ReadDeviceLine();
    }

    void ReadDeviceLine() {
        static constexpr std::string_view kPrefix = "device: ";
        const Clock::time_point deadline = Clock::now() + kStartBound;
        std::string line;
        while (line.find('\n') == std::string::npos && line.size() < 4096) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                error_ = "no 'device:' line from the simulator within " +
                         std::to_string(kStartBound.count()) + " s";
                return;
            }
            pollfd pfd{outFd_, POLLIN, 0};
            const int ready = poll(&pfd, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) continue;
            char buf[256];
            const ssize_t n = read(outFd_, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                for (int i = 0; i < 200 && !Reap(WNOHANG); ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                error_ = "the simulator ended before it printed its device (wait status " +
                         std::to_string(status_) + ")";
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

    bool Reap(int flags) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, flags);
        if (r == pid_ || (r < 0 && errno == ECHILD)) {
            status_ = r == pid_ ? status : -1;
            pid_ = -1;
            return true;
        }
        return false;
    }

    pid_t pid_ = -1;
    int outFd_ = -1;
    int status_ = -1;
    std::string devicePath_;
    std::string error_;
};

}  // namespace vr620_test
