#include "profile_file.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <optional>
#include <vector>

#include "file_io.h"
#include "system_error.h"

namespace profile {
namespace {

struct Line {
    std::size_t begin = 0;  // offset of the first character
    std::size_t end = 0;    // offset just past the last character, before the line end
    std::size_t next = 0;   // offset of the following line
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// CR LF, LF and CR all end a line.
std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        std::size_t i = pos;
        while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
        line.end = i;
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n' && (i == line.end || text[i - 1] == '\r')) ++i;
        line.next = i;
        lines.push_back(line);
        pos = i;
    }
    return lines;
}

std::optional<std::string_view> SectionName(std::string_view content) {
    std::string_view t = Trim(content);
    if (t.empty() || t.front() != '[') return std::nullopt;
    t.remove_prefix(1);
    std::size_t close = t.find(']');
    if (close != std::string_view::npos) t = t.substr(0, close);
    return Trim(t);
}

bool IsComment(std::string_view content) {
    std::string_view t = Trim(content);
    return !t.empty() && t.front() == ';';
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view content) {
    if (IsComment(content)) return std::nullopt;
    std::size_t eq = content.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    KeyLine kl{Trim(content.substr(0, eq)), Trim(content.substr(eq + 1))};
    if (kl.value.size() >= 2 && (kl.value.front() == '"' || kl.value.front() == '\'') &&
        kl.value.back() == kl.value.front()) {
        kl.value = kl.value.substr(1, kl.value.size() - 2);
    }
    return kl;
}

// Where a section and a key sit in a file's text.
struct Location {
    bool sectionFound = false;
    std::size_t sectionLine = 0;  // index of the section's header line
    std::size_t lastKeyLine = 0;  // index of the section's last key line (or its header)
    std::optional<std::size_t> keyLine;
    std::string value;
};

Location Find(std::string_view text, const std::vector<Line>& lines, std::string_view section,
              std::string_view key) {
    Location loc;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view content(text.data() + lines[i].begin, lines[i].end - lines[i].begin);
        if (auto name = SectionName(content)) {
            if (inSection) break;  // the first of two equal sections wins
            if (SameName(*name, section)) {
                inSection = true;
                loc.sectionFound = true;
                loc.sectionLine = i;
                loc.lastKeyLine = i;
            }
            continue;
        }
        if (!inSection) continue;
        if (auto kl = ParseKeyLine(content)) {
            loc.lastKeyLine = i;
            if (!loc.keyLine && SameName(kl->key, key)) {
                loc.keyLine = i;
                loc.value = std::string(kl->value);
            }
        }
    }
    return loc;
}

std::string LineEndingOf(std::string_view text) {
    std::size_t i = text.find_first_of("\r\n");
    if (i == std::string::npos) return "\r\n";
    if (text[i] == '\n') return "\n";
    if (i + 1 < text.size() && text[i + 1] == '\n') return "\r\n";
    return "\r";
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::optional<std::string> FindValue(std::string_view text, std::string_view section,
                                     std::string_view key) {
    const auto lines = SplitLines(text);
    Location loc = Find(text, lines, section, key);
    if (!loc.keyLine) return std::nullopt;
    return loc.value;
}

std::string WithValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value) {
    const std::string eol = LineEndingOf(text);
    const auto lines = SplitLines(text);
    Location loc = Find(text, lines, section, key);

    std::string result;
    if (loc.keyLine) {
        const Line& l = lines[*loc.keyLine];
        std::string_view content = text.substr(l.begin, l.end - l.begin);
        std::size_t eq = content.find('=');
        std::string_view keyPart = content.substr(0, eq);
        while (!keyPart.empty() && IsBlank(keyPart.back())) keyPart.remove_suffix(1);
        result = text.substr(0, l.begin);
        result.append(keyPart).append("=").append(value);
        result.append(text.substr(l.end));
    } else if (loc.sectionFound) {
        const Line& l = lines[loc.lastKeyLine];
        result = text.substr(0, l.next);
        if (l.next == l.end) result += eol;  // the last line of the file had no line end
        result.append(key).append("=").append(value).append(eol);
        result.append(text.substr(l.next));
    } else {
        result = text;
        if (!result.empty() && result.back() != '\n' && result.back() != '\r') result += eol;
        result.append("[").append(section).append("]").append(eol);
        result.append(key).append("=").append(value).append(eol);
    }
    return result;
}

std::optional<std::string> Lookup(const std::filesystem::path& file, std::string_view section,
                                  std::string_view key) {
    auto text = common::ReadRegularFile(file);
    if (!text) return std::nullopt;
    return FindValue(*text, section, key);
}

std::string ReadString(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, std::string_view defaultValue,
                       std::size_t bufferSize) {
    std::string value = Lookup(file, section, key).value_or(std::string(defaultValue));
    if (bufferSize == 0) return {};
    if (value.size() > bufferSize - 1) value.resize(bufferSize - 1);
    return value;
}

int ReadInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
            int defaultValue) {
    auto value = Lookup(file, section, key);
    if (!value) return defaultValue;
    std::string_view s = Trim(*value);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    long long n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        n = n * 10 + (c - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) break;
    }
    if (negative) n = -n;
    if (n > INT_MAX) return INT_MAX;
    if (n < INT_MIN) return INT_MIN;
    return static_cast<int>(n);
}

bool WriteString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                 std::string_view value) {
    std::string text;
    common::SetLastSystemError(0);
    if (auto existing = common::ReadRegularFile(file)) {
        text = std::move(*existing);
    } else if (std::error_code ec; std::filesystem::exists(file, ec) || ec) {
        return false;  // present but unreadable: never replace what we could not read
    }
    return common::ReplaceFile(file, WithValue(text, section, key, value)).Ok();
}

}  // namespace profile
