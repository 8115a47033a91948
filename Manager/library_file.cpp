#include "library_file.h"

#include <QFileInfo>

namespace manager {

LibraryFile::LibraryFile(const std::filesystem::path& path)
    : library_(QString::fromStdU16String(path.u16string())) {
    library_.setLoadHints(QLibrary::ResolveAllSymbolsHint);
}

LibraryFile::~LibraryFile() {
    if (library_.isLoaded()) library_.unload();
}

bool LibraryFile::Load() {
    if (library_.isLoaded()) return true;
    // Qt tries other names only for a full path whose file is missing.
    const QFileInfo file(library_.fileName());
    if (!file.isAbsolute() || !file.isFile()) {
        error_ = library_.fileName().toStdString() + ": no such file";
        return false;
    }
    if (library_.load()) return true;
    error_ = library_.errorString().toStdString();
    return false;
}

QFunctionPointer LibraryFile::Resolve(const char* name) {
    return library_.isLoaded() ? library_.resolve(name) : nullptr;
}

}  // namespace manager
