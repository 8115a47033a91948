#include "text_export.h"

#include <fcntl.h>
#include <unistd.h>

#include "component_model.h"
#include "settings_location.h"
#include "write_all.h"

namespace texts {

std::vector<std::string> ExportEntries(Component& component) {
    std::vector<std::string> entries;
    Walk(component, [&](Component& c) {
        for (TextProperty property : PropertiesOf(c.Kind())) {
            std::string entry = c.Key(property) + "=";
            if (IsLineList(property)) {
                entry += "\r\n";
                for (const std::string& line : c.Lines(property)) entry += line + "\r\n";
                entry += "\r\n";
            } else {
                entry += c.Value(property) + "\r\n";
            }
            entries.push_back(std::move(entry));
        }
    });
    return entries;
}

void ExportTexts(int fd, Component& component) {
    for (const std::string& entry : ExportEntries(component)) posix::WriteAll(fd, entry);
}

std::filesystem::path TextExportPath() {
    return manager::WritableProgramFile(".TXT");
}

bool ExportWindowTexts(const std::filesystem::path& file, const std::vector<Component*>& windows) {
    if (!manager::MakeSettingsFolderFor(file)) return false;
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    for (Component* window : windows) ExportTexts(fd, *window);
    close(fd);
    return true;
}

}  // namespace texts
