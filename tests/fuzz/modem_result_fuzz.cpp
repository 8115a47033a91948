// Modem result recognition over arbitrary reply text, and the reply buffer that keeps the
// newest text when a modem talks more than it holds.
#include <algorithm>
#include <cctype>
#include <vector>

#include "fuzz_input.h"
#include "modem.h"

using vr620_fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view reply = vr620_fuzz::Text(data + 1, size - 1);
    const auto result = ducta::RecognizeResult(reply);
    // OK is recognised only where its text stands, whatever the case.
    if (result == ducta::ModemResult::kOk) {
        std::string upper(reply);
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        Require(upper.find("OK\r") != std::string::npos);
    }

    // The text arriving a character at a time into a buffer of the size the first byte picks.
    std::vector<char> buffer(data[0] % 40, 'X');
    std::size_t length = 0;
    for (char c : reply) {
        ducta::AppendToReply(buffer, length, c);
        if (buffer.size() >= 2) {
            Require(length < buffer.size());
            Require(buffer[length] == '\0');
            ducta::RecognizeResult(std::string_view(buffer.data(), length));
        } else {
            Require(length == 0);
        }
    }
    return 0;
}
