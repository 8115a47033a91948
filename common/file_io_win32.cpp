#include <windows.h>
// <windows.h> names a function of its own ReplaceFile (a macro for ReplaceFileW or -A).
#undef ReplaceFile

#include <algorithm>
#include <atomic>
#include <random>
#include <utility>

#include "file_io.h"
#include "system_error.h"

namespace common {
namespace {

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
    bool Close() {
        if (!Valid()) return true;
        const BOOL closed = CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return closed != 0;
    }

  private:
    HANDLE h_;
};

// A name for the temporary file that no other writer in this folder picks.
std::wstring TemporaryName(const std::filesystem::path& file) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    return L"." + file.filename().wstring() + L"." + std::to_wstring(GetCurrentProcessId()) +
           L"." + std::to_wstring(counter++) + L"." + std::to_wstring(random() % 100000);
}

}  // namespace

std::optional<std::string> ReadRegularFile(const std::filesystem::path& file) {
    // Opening a folder fails without FILE_FLAG_BACKUP_SEMANTICS; a device or a pipe is turned
    // away by its type before anything is read.
    Handle h(CreateFileW(file.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) return std::nullopt;
    if (GetFileType(h.Get()) != FILE_TYPE_DISK) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    std::string text;
    char chunk[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(h.Get(), chunk, sizeof chunk, &got, nullptr)) return std::nullopt;
        if (got == 0) break;
        text.append(chunk, got);
    }
    return text;
}

Outcome<> ReplaceFile(const std::filesystem::path& file, std::string_view content) {
    DWORD why = 0;
    std::string words;
    const auto fail = [&](const std::string& what, const std::filesystem::path& path) {
        why = GetLastError();
        words = what + " " + path.string() + ": " + SystemErrorText(static_cast<int>(why));
        return false;
    };
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const std::filesystem::path temporary = folder / TemporaryName(file);
    Handle h(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) {
        fail("cannot create a temporary file in", folder);
        return Failure{FailureKind::kOther, std::move(words)};
    }
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < content.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1 << 20));
        if (!WriteFile(h.Get(), content.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            ok = fail("cannot write", temporary);
        done += wrote;
    }
    if (ok && !FlushFileBuffers(h.Get())) ok = fail("cannot flush", temporary);
    if (!h.Close() && ok) ok = fail("cannot close", temporary);
    if (ok && !MoveFileExW(temporary.c_str(), file.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ok = fail("cannot replace", file);
    if (ok) return Done{};
    DeleteFileW(temporary.c_str());
    SetLastError(why);
    return Failure{FailureKind::kOther, std::move(words)};
}

}  // namespace common
