// The export of every replaceable text of the windows into one text file, each under the key by
// which the language library is asked for it, with the text that the window holds now. People
// who write a language library start from this file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class QIODevice;

namespace texts {

class Component;

// The entries of `component` and of everything it owns, in walk order, each as the bytes that
// go into the file: "key=text" CR LF, or for a list "key=" CR LF, each line CR LF, then CR LF.
std::vector<std::string> ExportEntries(Component& component);

// Writes the entries of `component` to the open `file`, one write per entry.
void ExportTexts(QIODevice& file, Component& component);

// The export file beside the program: the program's path with ".TXT" for its extension.
std::filesystem::path TextExportPath();

// Creates the export file anew and exports `windows` into it in order. The file is written
// whole or not at all: false, with the reason on the debug output, when it could not be
// (an existing file then stays as it was).
bool ExportWindowTexts(const std::filesystem::path& file, const std::vector<Component*>& windows);

}  // namespace texts
