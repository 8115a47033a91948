// Runs one of our programs for a test: standard output and error into files, a bounded wait for
// its end, SIGTERM and then SIGKILL if it outlives the test.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace gateway_test {

class ProgramRun {
  public:
    ProgramRun(const std::string& program, const std::vector<std::string>& args,
               const std::filesystem::path& folder)
        : out_(folder / "stdout.txt"), err_(folder / "stderr.txt") {
        std::vector<std::string> words{program};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ProgramRun() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            if (!Wait(std::chrono::seconds(5))) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
            }
        }
    }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool Started() const { return pid_ > 0 || exited_; }
    void Signal(int signal) const {
        if (pid_ > 0) kill(pid_, signal);
    }
    // True once the program has ended within `bound`; ExitCode() then tells how.
    bool Wait(std::chrono::milliseconds bound = std::chrono::seconds(30)) {
        auto end = std::chrono::steady_clock::now() + bound;
        while (pid_ > 0) {
            int status = 0;
            pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                exited_ = true;
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return exited_;
    }
    int ExitCode() const { return exitCode_; }
    std::string Stdout() const { return Read(out_); }
    std::string Stderr() const { return Read(err_); }

  private:
    static std::string Read(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path out_;
    std::filesystem::path err_;
    pid_t pid_ = -1;
    bool exited_ = false;
    int exitCode_ = -1;
};

}  // namespace gateway_test
