#include "points_csv.h"

#include <set>

#include "point_value.h"

namespace points {
namespace {

std::string Quoted(const std::string& field) {
    if (field.find_first_of(",;\"") == std::string::npos) return field;
    std::string out = "\"";
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// The fields of one line; false on a quote that does not close.
bool SplitFields(const std::string& line, char separator, std::vector<std::string>& fields) {
    fields.assign(1, {});
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') {
                fields.back() += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == separator) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return !quoted;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string WritePointsCsv(const std::vector<PointEntry>& entries) {
    std::string text = "point,name,watch\n";
    for (const PointEntry& entry : entries) {
        text += PointText(entry.point) + "," + Quoted(entry.name) + "," +
                (entry.watch ? "1" : "0") + "\n";
    }
    return text;
}

CsvResult ReadPointsCsv(const std::string& text) {
    CsvResult result;
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    // The separator is the header's, or the first line's: ';' when it has one and no ','.
    const std::string& first = lines.empty() ? std::string() : lines.front();
    const char separator =
        first.find(';') != std::string::npos && first.find(',') == std::string::npos ? ';' : ',';

    std::set<std::uint16_t> seen;
    std::vector<std::string> fields;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        if (Trimmed(lines[i]).empty()) continue;
        const auto fail = [&](CsvError error) {
            result.entries.clear();
            result.error = error;
            result.line = number;
            return result;
        };
        if (!SplitFields(lines[i], separator, fields)) return fail(CsvError::kBadQuotes);
        const std::string pointField = Trimmed(fields[0]);
        if (i == 0 && (pointField == "point" || pointField == "POINT")) continue;
        const auto point = ParsePointNumber(pointField);
        if (!point) return fail(CsvError::kBadPoint);
        PointEntry entry;
        entry.point = *point;
        if (fields.size() > 1) entry.name = Trimmed(fields[1]);
        const std::string watch = fields.size() > 2 ? Trimmed(fields[2]) : "";
        if (watch != "" && watch != "0" && watch != "1") return fail(CsvError::kBadWatch);
        entry.watch = watch == "1";
        if (!seen.insert(entry.point).second) return fail(CsvError::kDuplicate);
        result.entries.push_back(entry);
    }
    return result;
}

}  // namespace points
