#include "data_table.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

#include "file_io.h"
#include "frame_codec.h"

namespace sim {

PointMap DefaultPoints() {
    PointMap points{
        {0x0001, {0x01}},
        {0x0002, {0x00, 0x64}},
        {0x0003, {0x00, 0x00, 0x00, 0x00}},
        {0x0010, {0x12, 0x34}},
        {0x0020, {'V', 'R', '-', '6', '2', '0'}},
        {0x0102, {0xAA, 0xBB}},
        {0x0200, {}},
    };
    // The longest value a frame can carry, for tests of full-size replies.
    Value longest(ducta::kMaxFrameData);
    for (std::size_t i = 0; i < longest.size(); ++i) longest[i] = static_cast<std::uint8_t>(i);
    points[0x0300] = longest;
    return points;
}

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<unsigned> ParseHex(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    unsigned v = 0;
    for (char c : s) {
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        v = v * 16 + static_cast<unsigned>(d);
    }
    return v;
}

common::Failure Trouble(std::string words) {
    return {common::FailureKind::kOther, std::move(words)};
}

}  // namespace

common::Outcome<PointMap> ParsePoints(std::string_view text) {
    PointMap points;
    std::size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        const std::size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;

        const auto fail = [&](const std::string& why) {
            return Trouble("line " + std::to_string(lineNo) + ": " + why);
        };
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return fail("expected POINT = VALUE BYTES");
        std::string_view pointText = Trim(line.substr(0, eq));
        if (pointText.size() > 2 && pointText[0] == '0' && (pointText[1] | 0x20) == 'x') {
            pointText.remove_prefix(2);
        }
        const auto point = ParseHex(pointText, 4);
        if (!point) return fail("the point must be 1 to 4 hexadecimal digits");
        Value value;
        std::string_view rest = Trim(line.substr(eq + 1));
        while (!rest.empty()) {
            std::size_t n = 0;
            while (n < rest.size() && !std::isspace(static_cast<unsigned char>(rest[n]))) ++n;
            const auto byte = ParseHex(rest.substr(0, n), 2);
            if (!byte) return fail("a value byte must be 1 or 2 hexadecimal digits");
            if (value.size() == ducta::kMaxFrameData) return fail("more than 253 value bytes");
            value.push_back(static_cast<std::uint8_t>(*byte));
            rest = Trim(rest.substr(n));
        }
        if (!points.emplace(static_cast<std::uint16_t>(*point), std::move(value)).second) {
            return fail("point listed twice");
        }
    }
    return points;
}

std::string FormatPoints(const PointMap& points) {
    std::string out =
        "# vr620-sim data points: POINT = VALUE BYTES, all hexadecimal.\n"
        "# Rewritten by the simulator after every change.\n";
    char buf[8];
    for (const auto& [point, value] : points) {
        std::snprintf(buf, sizeof buf, "%04X =", point);
        out += buf;
        for (std::uint8_t b : value) {
            std::snprintf(buf, sizeof buf, " %02X", b);
            out += buf;
        }
        out += '\n';
    }
    return out;
}

DataTable::DataTable() : points_(DefaultPoints()) {}

common::Outcome<> DataTable::Open(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        if (ec) return Trouble("cannot look at " + file.string() + ": " + ec.message());
        PointMap defaults = DefaultPoints();
        if (auto written = common::ReplaceFile(file, FormatPoints(defaults)); !written.Ok()) {
            return written;
        }
        points_ = std::move(defaults);
        file_ = file;
        return common::Done{};
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) return Trouble("cannot read " + file.string());
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto parsed = ParsePoints(text);
    if (!parsed.Ok()) return Trouble(file.string() + ", " + parsed.Why().words);
    points_ = std::move(parsed.Value());
    file_ = file;
    return common::Done{};
}

const Value* DataTable::Find(std::uint16_t point) const {
    const auto it = points_.find(point);
    return it == points_.end() ? nullptr : &it->second;
}

common::Outcome<> DataTable::Store(std::uint16_t point, const Value& value) {
    const auto it = points_.find(point);
    if (it == points_.end()) return Trouble("no such data point");
    Value old = std::move(it->second);
    it->second = value;
    if (!file_) return common::Done{};
    auto written = common::ReplaceFile(*file_, FormatPoints(points_));
    if (!written.Ok()) it->second = std::move(old);
    return written;
}

}  // namespace sim
