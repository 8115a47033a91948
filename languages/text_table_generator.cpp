// Build-time tool: turns a language's text file into the C++ tables of its language library.
//
// The text file has the layout of the manager's text export: one entry per line, the key, "="
// and the text; a key ending in "->Items->Text" or "->Lines->Text" is followed by its lines and
// an empty line. Keys made only of digits are numbered message texts. Lines starting with ";"
// outside a list are comments; empty lines outside a list are ignored. Text is UTF-8; line ends
// may be LF or CR LF.
//
// Usage: text_table_generator <input.txt> <output.inc>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::string key;
    std::string text;
};

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool AllDigits(const std::string& s) {
    if (s.empty()) return false;
    for (unsigned char c : s) {
        if (!std::isdigit(c)) return false;
    }
    return true;
}

// A C string literal; every byte outside printable ASCII as a three-digit octal escape, so
// that no following character can extend it.
std::string Literal(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '?') {
            out += "\\?";  // no trigraphs
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\%03o", c);
            out += escape;
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::cerr << "usage: text_table_generator <input.txt> <output.inc>\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }

    std::vector<Entry> texts;
    std::vector<Entry> numbered;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == ';') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0) {
            std::cerr << argv[1] << ":" << i + 1 << ": expected key=text\n";
            return 1;
        }
        Entry entry{line.substr(0, equals), line.substr(equals + 1)};
        if (!seen.insert(entry.key).second) {
            std::cerr << argv[1] << ":" << i + 1 << ": key " << entry.key << " given twice\n";
            return 1;
        }
        if (EndsWith(entry.key, "->Items->Text") || EndsWith(entry.key, "->Lines->Text")) {
            // The list's lines follow up to an empty line; what stands after "=" is ignored.
            entry.text.clear();
            bool first = true;
            for (++i; i < lines.size() && !lines[i].empty(); ++i) {
                if (!first) entry.text += "\r\n";
                entry.text += lines[i];
                first = false;
            }
        }
        (AllDigits(entry.key) ? numbered : texts).push_back(entry);
    }

    std::ostringstream out;
    out << "// Generated from " << argv[1] << " by text_table_generator; do not edit.\n";
    out << "static const TextEntry kTexts[] = {\n";
    for (const Entry& e : texts)
        out << "    {" << Literal(e.key) << ", " << Literal(e.text) << "},\n";
    out << "};\n";
    out << "static const NumberedEntry kNumberedTexts[] = {\n";
    for (const Entry& e : numbered) out << "    {" << e.key << "u, " << Literal(e.text) << "},\n";
    out << "};\n";

    // Written only when it changed, so that an unchanged file rebuilds nothing.
    const std::string generated = out.str();
    {
        std::ifstream old(argv[2], std::ios::binary);
        const std::string previous{std::istreambuf_iterator<char>(old),
                                   std::istreambuf_iterator<char>()};
        if (old && previous == generated) return 0;
    }
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file << generated;
    file.close();
    if (!file) {
        std::cerr << argv[2] << ": cannot be written\n";
        return 1;
    }
    return 0;
}
