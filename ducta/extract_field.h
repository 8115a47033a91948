// Splits a settings text into fields.
#pragma once

#include <optional>
#include <string>

namespace ducta {

// Field `n` (from 0) of `text`, split at `separator`; nothing when the text is null or empty
// or has fewer than n + 1 fields. An empty field gives an empty text. Unless the separator is
// the double quote, a stretch between double quotes is not split (a backslash followed by a
// double quote inside it does not end it).
std::optional<std::string> ExtractField(char separator, int n, const char* text);

}  // namespace ducta
