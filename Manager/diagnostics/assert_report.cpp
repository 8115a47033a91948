#include "assert_report.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "debug_trace.h"
#include "program_path.h"
#include "system_error.h"

namespace diagnostics {
namespace {

constexpr std::size_t kBoxTextSize = 1024;

}  // namespace

int AssertFailed(const char* file, int line, const char* condition) {
    // The condition is data, never a format. The trace keeps the last error for the box.
    DebugTrace(file, line, "%s %s", kAssertTitle, condition);
    ShowAssertBox(kAssertTitle, file, line, condition);
    return 0;
}

std::string AssertBoxText(const char* title, const char* file, int line, const char* condition,
                          int errorCode) {
    const std::string description = common::SystemErrorText(errorCode);
    std::string program = manager::ProgramPath().string();
    if (program.empty()) program = "<No Program Name>";

    char text[kBoxTextSize];
    std::snprintf(text, sizeof text,
                  "%s\nApplication: %s\n\nFile name:   %s\nLine number: %d\n\nExpression:  "
                  "%s\n\nLast Error:  %d / %s\n\nDo you wan't to exit application?",
                  title, FileNameOf(program.c_str()), FileNameOf(file), line,
                  condition != nullptr ? condition : "", errorCode, description.c_str());
    return text;
}

manager::BoxAnswer ShowAssertBox(const char* title, const char* file, int line,
                                 const char* condition) {
    const int errorCode = common::LastSystemError();
    const manager::BoxAnswer answer =
        manager::ShowMessageBox({.caption = "DEBUG window",
                                 .text = AssertBoxText(title, file, line, condition, errorCode),
                                 .icon = manager::BoxIcon::Error,
                                 .buttons = manager::BoxButtons::YesNo,
                                 .defaultAnswer = manager::BoxAnswer::Yes});
    // The orderly end: exit handlers and the run-time clean-up run, no window is asked. Not
    // zero, so that whoever started the program sees that it failed.
    if (answer == manager::BoxAnswer::Yes) std::exit(EXIT_FAILURE);
    return answer;
}

}  // namespace diagnostics
