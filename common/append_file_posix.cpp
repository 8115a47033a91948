#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "append_file.h"
#include "system_error.h"

namespace common {

const char kTextLineEnd[] = "\n";

std::string AppendFile::Open(const std::filesystem::path& file) {
    Close();
    // O_NONBLOCK: the open of a FIFO must not wait for a reader; a regular file ignores it.
    const int fd =
        open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) return "cannot open: " + SystemErrorText(errno);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return "is no regular file";
    }
    // flock: the lock belongs to this open, so another open in this process is kept out too.
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        close(fd);
        if (error == EWOULDBLOCK) return kInUse;
        return "cannot be locked: " + common::SystemErrorText(error);
    }
    // Its size once nobody else can append.
    if (fstat(fd, &st) != 0) {
        const int error = errno;
        close(fd);
        return "cannot open: " + common::SystemErrorText(error);
    }
    handle_ = fd;
    sizeAtOpen_ = st.st_size;
    return {};
}

std::string AppendFile::Append(std::span<const std::uint8_t> bytes) {
    if (handle_ < 0) return "not open";
    const int fd = static_cast<int>(handle_);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return "cannot write: " + SystemErrorText(errno);
        done += static_cast<std::size_t>(n);
    }
    return {};
}

void AppendFile::Close() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
    handle_ = -1;
}

}  // namespace common
