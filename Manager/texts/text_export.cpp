#include "text_export.h"

#include <QSaveFile>

#include "component_model.h"
#include "debug_trace.h"
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

void ExportTexts(QIODevice& file, Component& component) {
    for (const std::string& entry : ExportEntries(component))
        file.write(entry.data(), static_cast<qint64>(entry.size()));
}

std::filesystem::path TextExportPath() {
    return manager::WritableProgramFile(".TXT");
}

bool ExportWindowTexts(const std::filesystem::path& file, const std::vector<Component*>& windows) {
    if (const auto folder = manager::MakeSettingsFolderFor(file); !folder.Ok()) {
        DEBUG_TRACE("%s", folder.Why().words.c_str());
        return false;
    }
    // Written beside the file and put in its place when whole; a failed write leaves nothing.
    QSaveFile out(QString::fromStdU16String(file.u16string()));
    if (out.open(QIODevice::WriteOnly)) {
        for (Component* window : windows) ExportTexts(out, *window);
        if (out.commit()) return true;
    }
    DEBUG_TRACE("%s: %s", file.string().c_str(), out.errorString().toLocal8Bit().constData());
    return false;
}

}  // namespace texts
