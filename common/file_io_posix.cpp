#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "file_io.h"
#include "write_all.h"

namespace common {
namespace {

// An existing file keeps its mode; a new one is readable by all.
mode_t ModeFor(const std::filesystem::path& file) {
    struct stat st {};
    return stat(file.c_str(), &st) == 0 ? st.st_mode & 07777 : 0644;
}

}  // namespace

std::optional<std::string> ReadRegularFile(const std::filesystem::path& file) {
    // A FIFO is never opened at all, and the open of the checked file does not wait either.
    struct stat st {};
    if (stat(file.c_str(), &st) != 0) return std::nullopt;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return std::nullopt;
    }
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    // The name may have been replaced between the two looks.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return std::nullopt;
    }
    std::string text;
    char chunk[4096];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int why = errno;
            close(fd);
            errno = why;
            return std::nullopt;
        }
        if (n == 0) break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

Outcome<> ReplaceFile(const std::filesystem::path& file, std::string_view content) {
    int why = 0;
    std::string words;
    const auto fail = [&](const std::string& what, const std::filesystem::path& path) {
        why = errno;
        words = what + " " + path.string() + ": " + std::strerror(why);
        return false;
    };
    const mode_t mode = ModeFor(file);
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    std::string tmpl = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) {
        fail("cannot create a temporary file in", folder);
        return Failure{FailureKind::kOther, std::move(words)};
    }
    bool ok = posix::WriteAll(fd, content) || fail("cannot write", tmpl);
    if (ok && fchmod(fd, mode) != 0) ok = fail("cannot set the mode of", tmpl);
    if (ok && fsync(fd) != 0) ok = fail("cannot flush", tmpl);
    if (close(fd) != 0 && ok) ok = fail("cannot close", tmpl);
    if (ok && rename(tmpl.c_str(), file.c_str()) != 0) ok = fail("cannot replace", file);
    if (ok) return Done{};
    unlink(tmpl.c_str());
    errno = why;
    return Failure{FailureKind::kOther, std::move(words)};
}

}  // namespace common
