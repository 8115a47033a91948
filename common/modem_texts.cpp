#include "modem_texts.h"

namespace modem_texts {
namespace {

std::string ReplaceEscape(std::string_view text, char letter, char replacement) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == letter) {
            out += replacement;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string ConvertEscapes(std::string_view text) {
    return ReplaceEscape(ReplaceEscape(text, 'r', '\r'), 'n', '\n');
}

}  // namespace modem_texts
