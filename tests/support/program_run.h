// Runs one of our programs for a test: its standard output and error into files (or the output
// into a pipe that the test reads as it comes), a bounded wait for its end, and SIGTERM, then
// SIGKILL after a bound, when it outlives the test, so that no test leaves it behind.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "temp_dir.h"
#include "wait_until.h"

extern char** environ;

namespace vr620_test {

class ProgramRun {
  public:
    static constexpr std::chrono::seconds kStopBound{30};

    // Where the program's standard output and error go: into these files, or, for an empty
    // path, the output into a pipe (OutputPipe()) and the error to this process's own.
    struct Streams {
        std::filesystem::path out;
        std::filesystem::path err;
    };

    // Standard output and error into "stdout.txt" and "stderr.txt" in `folder`.
    ProgramRun(const std::string& program, const std::vector<std::string>& args,
               const std::filesystem::path& folder)
        : ProgramRun(program, args, Streams{folder / "stdout.txt", folder / "stderr.txt"}) {}

    ProgramRun(const std::string& program, const std::vector<std::string>& args,
               const Streams& streams)
        : streams_(streams) {
        int pipeFds[2] = {-1, -1};
        if (streams.out.empty() && pipe2(pipeFds, O_CLOEXEC) != 0) {
            error_ = std::string("pipe: ") + std::strerror(errno);
            return;
        }
        std::vector<std::string> words{program};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (streams.out.empty()) {
            posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, streams.out.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        if (!streams.err.empty()) {
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, streams.err.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (pipeFds[1] >= 0) close(pipeFds[1]);
        output_ = pipeFds[0];
        if (rc != 0) {
            pid_ = -1;
            error_ = "cannot start " + program + ": " + std::strerror(rc);
        }
    }
    ~ProgramRun() { Stop(); }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Why the program could not be started, in words (empty when it was).
    const std::string& StartError() const { return error_; }
    pid_t Pid() const { return pid_; }
    void Signal(int signal) const {
        if (pid_ > 0) kill(pid_, signal);
    }

    // True once the program has ended within `bound`; Status() and ExitCode() then tell how.
    bool Wait(std::chrono::milliseconds bound = std::chrono::seconds(30)) {
        return WaitUntil([&] { return pid_ <= 0 || Reap(WNOHANG); }, bound) && status_ != -1;
    }
    // Sends SIGTERM and waits kStopBound for the end, then SIGKILL. Gives the wait status
    // (WIFEXITED/WEXITSTATUS), or -1 when there was no program.
    int Stop() {
        if (output_ >= 0) {
            close(output_);
            output_ = -1;
        }
        if (pid_ <= 0) return status_;
        Signal(SIGTERM);
        if (!Wait(kStopBound)) {
            Signal(SIGKILL);
            Reap(0);
        }
        return status_;
    }

    // The wait status once the program has ended, -1 before.
    int Status() const { return status_; }
    // The exit code, or 128 and the signal that ended it.
    int ExitCode() const {
        if (status_ == -1) return -1;
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
    }
    std::string Stdout() const { return ReadFile(streams_.out); }
    std::string Stderr() const { return ReadFile(streams_.err); }
    // The read end of the output pipe (without a file for the output).
    int OutputPipe() const { return output_; }

  private:
    bool Reap(int flags) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, flags);
        if (r != pid_ && !(r < 0 && errno == ECHILD)) return false;
        status_ = r == pid_ ? status : -1;
        pid_ = -1;
        return true;
    }

    Streams streams_;
    std::string error_;
    pid_t pid_ = -1;
    int output_ = -1;
    int status_ = -1;
};

}  // namespace vr620_test
