#include "debug_output.h"

#include <atomic>
#include <mutex>
#include <string>

#include "debug_line.h"
#include "line_folding.h"
#include "system_error.h"

namespace ducta {
namespace {

void Emit(std::string_view text) {
    std::string line = "ducta: ";
    line.append(text);
    common::WriteDebugLine(line);
}

// Set once the folding below is gone (the process ends, or the library is unloaded): a line
// written after that, by an object destroyed later, goes out as it is. Trivially destructible, so
// it outlives every object of the library.
std::atomic<bool> g_foldingGone{false};

// The process's one folding of the library's lines.
class DebugLines {
  public:
    static DebugLines& Instance() {
        static DebugLines lines;
        return lines;
    }
    ~DebugLines() {
        Finish();
        g_foldingGone.store(true);
    }

    void Write(std::string_view text) {
        std::lock_guard lock(mutex_);
        const auto now = common::LineFolding::Clock::now();
        if (const std::string due = folding_.DueCount(now); !due.empty()) Emit(due);
        const common::LineFolding::Verdict verdict = folding_.Add(text, now);
        if (!verdict.count.empty()) Emit(verdict.count);
        if (!verdict.held.empty()) Emit(verdict.held);
        if (verdict.write) Emit(text);
    }

  private:
    DebugLines() = default;
    void Finish() {
        std::lock_guard lock(mutex_);
        if (const std::string count = folding_.Finish(); !count.empty()) Emit(count);
    }

    std::mutex mutex_;  // guards the folding: every thread that calls the library writes lines
    common::LineFolding folding_;
};

}  // namespace

void DebugOutput::Line(std::string_view text) {
    if (g_foldingGone.load()) return Emit(text);
    DebugLines::Instance().Write(text);
}

void DebugOutput::Line(std::string_view text, int error) {
    std::string line(text);
    line.append(": ").append(common::SystemErrorText(error));
    Line(line);
}

}  // namespace ducta
