// The list of points as a CSV file: a header line "point,name,watch", then one line a point:
// the number in hexadecimal, a name (quoted when it holds a separator or a quote, a quote
// doubled), and 1 when the point is watched. Reading also takes ';' as the separator (what
// spreadsheets write where the decimal mark is a comma), no header, and CR LF line ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace points {

struct PointEntry {
    std::uint16_t point = 0;
    std::string name;
    bool watch = false;
};

std::string WritePointsCsv(const std::vector<PointEntry>& entries);

enum class CsvError { kNone, kBadPoint, kBadWatch, kDuplicate, kBadQuotes };
struct CsvResult {
    std::vector<PointEntry> entries;
    CsvError error = CsvError::kNone;
    int line = 0;  // the line of the error, from 1
};
CsvResult ReadPointsCsv(const std::string& text);

// A file larger than this is no list of points; reading refuses it before it is read.
inline constexpr long long kMaxCsvBytes = 4 * 1024 * 1024;

}  // namespace points
