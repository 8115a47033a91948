// vr620's command line, and its data point and value parsers: a value printed is read back the
// same.
#include "command_line.h"
#include "fuzz_input.h"

using vr620_fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> arguments = vr620_fuzz::Arguments(data, size);
    const auto line = vr620::ParseCommandLine(arguments);
    Require(line.Ok() || !line.Why().words.empty());
    for (const std::string& a : arguments) {
        vr620::ParsePoint(a);
        if (const auto bytes = vr620::ParseHexBytes(a))
            Require(vr620::ParseHexBytes(vr620::FormatHexBytes(*bytes)) == *bytes);
    }
    return 0;
}
