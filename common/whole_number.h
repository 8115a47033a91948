// Reading a number that a user or a settings file gives as text.
#pragma once

#include <optional>
#include <string_view>

namespace common {

// The whole number that `text` is, all of it, in `base` (no blanks, no plus sign, a minus sign
// allowed), when it lies from `low` to `high`; nothing otherwise.
std::optional<int> ParseWholeNumber(std::string_view text, int low, int high, int base = 10);

}  // namespace common
