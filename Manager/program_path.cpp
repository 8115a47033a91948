#include "program_path.h"

#include <QCoreApplication>
#include <string>
#include <utility>

namespace manager {
namespace {

std::filesystem::path& TestPath() {
    static std::filesystem::path path;
    return path;
}

}  // namespace

std::filesystem::path ProgramPath() {
    if (!TestPath().empty()) return TestPath();
    if (QCoreApplication::instance() == nullptr) return {};
    return std::filesystem::path(QCoreApplication::applicationFilePath().toStdU16String());
}

std::filesystem::path ProgramPathWithSuffix(std::string_view suffix) {
    std::filesystem::path path = ProgramPath();
    path.replace_extension();
    path += std::string(suffix);
    return path;
}

std::filesystem::path BesideProgram(std::string_view fileName) {
    return ProgramPath().parent_path() / std::string(fileName);
}

void SetProgramPathForTesting(std::filesystem::path path) {
    TestPath() = std::move(path);
}

}  // namespace manager
