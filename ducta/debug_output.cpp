#include "debug_output.h"

#include <cstdlib>
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

// The process's one folding of the library's lines.
class DebugLines {
  public:
    static DebugLines& Instance() {
        // Never destroyed: a thread may still write while the process ends.
        static DebugLines* const lines = [] {
            auto* made = new DebugLines;
            std::atexit([] { Instance().Finish(); });
            return made;
        }();
        return *lines;
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

    void Finish() {
        std::lock_guard lock(mutex_);
        if (const std::string count = folding_.Finish(); !count.empty()) Emit(count);
    }

  private:
    std::mutex mutex_;
    common::LineFolding folding_;
};

}  // namespace

void DebugOutput::Line(std::string_view text) {
    DebugLines::Instance().Write(text);
}

void DebugOutput::Line(std::string_view text, int error) {
    std::string line(text);
    line.append(": ").append(common::SystemErrorText(error));
    Line(line);
}

}  // namespace ducta
