#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "write_all.h"

namespace posix {

bool ReplaceFile(const std::filesystem::path& file, std::string_view content, mode_t mode,
                 std::string* error) {
    int why = 0;
    const auto fail = [&](const std::string& what, const std::filesystem::path& path) {
        why = errno;
        if (error != nullptr) *error = what + " " + path.string() + ": " + std::strerror(why);
        return false;
    };
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    std::string tmpl = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return fail("cannot create a temporary file in", folder);

    bool ok = WriteAll(fd, content) || fail("cannot write", tmpl);
    if (ok && fchmod(fd, mode) != 0) ok = fail("cannot set the mode of", tmpl);
    if (ok && fsync(fd) != 0) ok = fail("cannot flush", tmpl);
    if (close(fd) != 0 && ok) ok = fail("cannot close", tmpl);
    if (ok && rename(tmpl.c_str(), file.c_str()) != 0) ok = fail("cannot replace", file);
    if (!ok) {
        unlink(tmpl.c_str());
        errno = why;
    }
    return ok;
}

}  // namespace posix
