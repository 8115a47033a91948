#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim {

namespace {

std::string Describe(const std::string& what, const std::filesystem::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& file, std::string_view content,
                         std::string& error) {
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    std::string tmpl = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) {
        error = Describe("cannot create a temporary file in", folder);
        return false;
    }
    const char* p = content.data();
    std::size_t left = content.size();
    bool ok = true;
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = Describe("cannot write", tmpl);
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (ok && fchmod(fd, 0644) != 0) {
        error = Describe("cannot set the mode of", tmpl);
        ok = false;
    }
    if (ok && fsync(fd) != 0) {
        error = Describe("cannot flush", tmpl);
        ok = false;
    }
    if (close(fd) != 0 && ok) {
        error = Describe("cannot close", tmpl);
        ok = false;
    }
    if (ok && rename(tmpl.c_str(), file.c_str()) != 0) {
        error = Describe("cannot replace", file);
        ok = false;
    }
    if (!ok) unlink(tmpl.c_str());
    return ok;
}

}  // namespace sim
