#include <windows.h>

#include <algorithm>

#include "append_file.h"
#include "system_error.h"

namespace common {

const char kTextLineEnd[] = "\r\n";

namespace {

HANDLE AsHandle(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

}  // namespace

std::string AppendFile::Open(const std::filesystem::path& file) {
    Close();
    // Append access alone writes at the end whatever others do; sharing lets a reader in.
    const HANDLE h =
        CreateFileW(file.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return "cannot open: " + SystemErrorText(static_cast<int>(GetLastError()));
    }
    LARGE_INTEGER size{};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        return "is no regular file";
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    sizeAtOpen_ = size.QuadPart;
    return {};
}

std::string AppendFile::Append(std::span<const std::uint8_t> bytes) {
    if (handle_ == -1) return "not open";
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD wrote = 0;
        if (!WriteFile(AsHandle(handle_), bytes.data() + done, chunk, &wrote, nullptr))
            return "cannot write: " + SystemErrorText(static_cast<int>(GetLastError()));
        if (wrote == 0) return "cannot write: the file takes no more";
        done += wrote;
    }
    return {};
}

void AppendFile::Close() {
    if (handle_ != -1) CloseHandle(AsHandle(handle_));
    handle_ = -1;
}

}  // namespace common
