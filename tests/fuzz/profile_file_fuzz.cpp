// The profile-file rules over arbitrary file text: every lookup of a few names, and a value
// written into the text is the value read back from it.
#include <string>

#include "fuzz_input.h"
#include "profile_file.h"

using vr620_fuzz::Require;

namespace {

// A plain name or value (letters and digits) from a few bytes of the input.
std::string Plain(const std::uint8_t* data, std::size_t size) {
    static constexpr char kChars[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) out.push_back(kChars[data[i] % (sizeof kChars - 1)]);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;  // the names below take bytes up to data[7]
    const std::string section = Plain(data, 1 + data[0] % 3);
    const std::string key = Plain(data + 1, 1 + data[1] % 3);
    const std::string value = Plain(data + 2, data[2] % 4);
    // Another name in the same or another section, whose value must not change.
    const std::string otherSection = data[3] % 2 == 0 ? section : Plain(data + 3, 1 + data[3] % 3);
    const std::string otherKey = Plain(data + 4, 1 + data[4] % 3);
    const std::string_view text = vr620_fuzz::Text(data + 5, size - 5);

    for (const char* name : {"Ports", "COM1", "Direct", "BaudRate", ""})
        profile::FindValue(text, name, name);

    const std::string written = profile::WithValue(text, section, key, value);
    Require(profile::FindValue(written, section, key) == value);
    if (!profile::SameName(section, otherSection) || !profile::SameName(key, otherKey)) {
        Require(profile::FindValue(written, otherSection, otherKey) ==
                profile::FindValue(text, otherSection, otherKey));
    }
    return 0;
}
