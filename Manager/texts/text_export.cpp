#include "text_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "component_model.h"
#include "settings_location.h"

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
    for (const std::string& entry : ExportEntries(component)) {
        const char* data = entry.data();
        std::size_t left = entry.size();
        while (left > 0) {
            ssize_t written = write(fd, data, left);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) break;
            data += written;
            left -= static_cast<std::size_t>(written);
        }
    }
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
