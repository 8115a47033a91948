#include "trust_file.h"

#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <string_view>

#include "file_io.h"
#include "fingerprint_text.h"
#include "system_error.h"

namespace tls {
namespace {

constexpr std::int64_t kSettleNs = 1'000'000'000;

std::int64_t Nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::int64_t WallClockNs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return Nanoseconds(now);
}

}  // namespace

TrustFile::Identity TrustFile::IdentityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size), Nanoseconds(st.st_mtim)};
}

TrustFile::TrustFile(std::string path, Notice notice)
    : path_(std::move(path)), notice_(std::move(notice)) {}

common::Outcome<> TrustFile::Load() {
    std::lock_guard lock(mutex_);
    return Read();
}

bool TrustFile::Trusts(const std::string& fingerprint) {
    std::lock_guard lock(mutex_);
    Refresh();
    return readable_ && trusted_.contains(fingerprint);
}

void TrustFile::Refresh() {
    struct stat st {};
    const bool present = stat(path_.c_str(), &st) == 0;
    const Identity now = present ? IdentityOf(st) : Identity{};
    // Unchanged, whether it was read or could not be (then it has been said once).
    if (now == identity_ && !racy_) return;
    if (const auto read = Read(); !read.Ok())
        notice_(read.Why().words + "; no certificate is trusted through it until it can");
}

common::Outcome<> TrustFile::Read() {
    const std::int64_t startedNs = WallClockNs();
    struct stat st {};
    std::optional<std::string> text;
    std::string why;
    racy_ = false;
    const bool found = stat(path_.c_str(), &st) == 0;
    if (!found) {
        why = common::SystemErrorText(errno);
    } else if (static_cast<std::uint64_t>(st.st_size) > kMaxSize) {
        why = "larger than " + std::to_string(kMaxSize) + " bytes";
    } else if (!(text = common::ReadRegularFile(path_))) {
        why = common::SystemErrorText(errno);
    }
    if (!text) {
        identity_ = found ? IdentityOf(st) : Identity{};
        readable_ = false;
        trusted_.clear();
        text_.clear();
        return common::Failure{common::FailureKind::kOther,
                               "TLS trust file " + path_ + " cannot be read: " + why};
    }
    identity_ = IdentityOf(st);
    racy_ = startedNs < identity_.modifiedNs + kSettleNs;
    const bool changed = !readable_ || *text != text_;
    const bool again = everRead_;
    readable_ = everRead_ = true;
    if (!changed) return common::Done{};
    text_ = std::move(*text);
    trusted_.clear();
    std::string_view rest = text_;
    for (int number = 1; !rest.empty(); ++number) {
        const std::size_t end = rest.find('\n');
        const TrustLine line = ParseTrustLine(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (line.broken) {
            notice_("TLS trust file " + path_ + ", line " + std::to_string(number) +
                    " skipped: not a SHA-256 fingerprint (32 colon-separated hexadecimal pairs)");
        } else if (line.fingerprint) {
            trusted_.insert(*line.fingerprint);
        }
    }
    // The first reading is the start's, which says its own words.
    if (again)
        notice_("TLS trust file " + path_ + " read again: " + std::to_string(trusted_.size()) +
                (trusted_.size() == 1 ? " fingerprint" : " fingerprints"));
    return common::Done{};
}

}  // namespace tls
