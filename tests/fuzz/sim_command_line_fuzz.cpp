// vr620-sim's command line: any arguments are taken or refused in words, never a crash.
#include "fuzz_input.h"
#include "options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments = vr620_fuzz::Arguments(data, size);
    std::vector<const char*> argv{"vr620-sim"};
    for (const std::string& a : arguments) argv.push_back(a.c_str());
    const auto options = sim::ParseOptions(static_cast<int>(argv.size()), argv.data());
    vr620_fuzz::Require(options.Ok() || !options.Why().words.empty());
    if (options.Ok() && options.Value().help) sim::HelpText();
    return 0;
}
