// The simulated controller's data points: point -> value bytes, optionally backed by a text
// file that every change is written back to at once.
//
// File format (one point per line; blank lines and lines starting with '#' or ';' are ignored):
//     0102 = AA BB
//     0200 =
// The point is 1 to 4 hexadecimal digits, the value 0 to 253 bytes of two hexadecimal digits
// separated by blanks. A point may appear only once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "outcome.h"

namespace sim {

using Value = std::vector<std::uint8_t>;
using PointMap = std::map<std::uint16_t, Value>;

// The points a fresh simulator holds.
PointMap DefaultPoints();

// Parses the file format; a bad line is a failure whose words name the line.
common::Outcome<PointMap> ParsePoints(std::string_view text);
// Writes the file format, sorted by point, with a header comment.
std::string FormatPoints(const PointMap& points);

class DataTable {
  public:
    // An in-memory table with the default points and no file.
    DataTable();

    // Loads `file`, or creates it with the default points when it does not exist.
    common::Outcome<> Open(const std::filesystem::path& file);

    const Value* Find(std::uint16_t point) const;
    // Replaces the value of an existing point and writes the file back. When the file cannot
    // be written the old value stays (in memory and on disk) and the result is a failure.
    common::Outcome<> Store(std::uint16_t point, const Value& value);

  private:
    PointMap points_;
    std::optional<std::filesystem::path> file_;
};

}  // namespace sim
