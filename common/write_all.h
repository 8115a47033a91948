// Writing a whole buffer to a POSIX descriptor: write() may take less than it is given, and a
// signal may interrupt it. POSIX only (write_all_posix.cpp): no Windows file needs it.
#pragma once

#include <cstddef>
#include <string_view>

namespace posix {

// Writes all `size` bytes, retrying after a signal. False when write() fails (errno tells why)
// or takes nothing; what was written before stays written.
bool WriteAll(int fd, const void* data, std::size_t size);
inline bool WriteAll(int fd, std::string_view text) {
    return WriteAll(fd, text.data(), text.size());
}

}  // namespace posix
