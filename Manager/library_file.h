// A library that the program loads by its full path for one use and releases after it (the
// language libraries, the version library). Exactly the file named is loaded: where it is
// missing, Qt's loader would try other names ("lib" in front), and a stray file of such a name
// must not speak for the program.
#pragma once

#include <QLibrary>
#include <filesystem>
#include <string>

namespace manager {

// The platform's suffix of a library that is loaded at run time: ".so" on Linux.
inline constexpr char kLibrarySuffix[] = VR620_LIBRARY_SUFFIX;

class LibraryFile {
  public:
    explicit LibraryFile(const std::filesystem::path& path);
    // Releases the library if it was loaded.
    ~LibraryFile();
    LibraryFile(const LibraryFile&) = delete;
    LibraryFile& operator=(const LibraryFile&) = delete;

    // Loads the library unless it is loaded; false, with the reason in words in Error(), when
    // it cannot be. All its symbols are resolved at once, and none of them serves another.
    bool Load();
    bool Loaded() const { return library_.isLoaded(); }
    // The exported function `name` of the loaded library, or null.
    QFunctionPointer Resolve(const char* name);
    const std::string& Error() const { return error_; }

  private:
    QLibrary library_;
    std::string error_;
};

}  // namespace manager
