#include "debug_output.h"

#include "debug_line.h"
#include "system_error.h"

namespace ducta {
namespace {

void Emit(std::string_view text) {
    std::string line = "ducta: ";
    line.append(text);
    common::WriteDebugLine(line);
}

}  // namespace

DebugOutput::~DebugOutput() {
    FlushRepeats();
}

void DebugOutput::Line(std::string_view text) {
    if (text == last_) {
        ++repeats_;
        return;
    }
    FlushRepeats();
    last_ = text;
    Emit(text);
}

void DebugOutput::Line(std::string_view text, int error) {
    std::string line(text);
    line.append(": ").append(common::SystemErrorText(error));
    Line(line);
}

void DebugOutput::FlushRepeats() {
    if (repeats_ == 0) return;
    Emit("last message repeated " + std::to_string(repeats_) +
         (repeats_ == 1 ? " time" : " times"));
    repeats_ = 0;
}

}  // namespace ducta
