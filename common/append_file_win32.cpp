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

constexpr DWORD kLockOffsetLow = 0xFFFFFFFE;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

}  // namespace

std::string AppendFile::Open(const std::filesystem::path& file) {
    Close();
    // Append access without write access writes at the end whatever others do; sharing lets a
    // reader in; read access is what LockFileEx asks for.
    const HANDLE h = CreateFileW(
        file.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return "cannot open: " + SystemErrorText(static_cast<int>(GetLastError()));
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return "is no regular file";
    }
    // The lock is on one byte far beyond any end of file: Windows' locks bar the locked bytes
    // to everybody else, and a reader of the capture must not be barred.
    OVERLAPPED beyond{};
    beyond.Offset = kLockOffsetLow;
    beyond.OffsetHigh = kLockOffsetHigh;
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &beyond)) {
        const DWORD error = GetLastError();
        CloseHandle(h);
        if (error == ERROR_LOCK_VIOLATION) return kInUse;
        return "cannot be locked: " + common::SystemErrorText(static_cast<int>(error));
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size)) {
        const DWORD error = GetLastError();
        CloseHandle(h);
        return "cannot open: " + common::SystemErrorText(static_cast<int>(error));
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
