// The trusted fingerprints of a trust file, one a line. The file is looked at again at every
// check (its inode, size and modification time), and read again when it has been changed or
// replaced, so that an administrator's edit takes effect without a restart.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "notice.h"
#include "outcome.h"

struct stat;

namespace tls {

class TrustFile {
  public:
    TrustFile(std::string path, Notice notice);

    // Reads the file now; fails when it cannot be read.
    common::Outcome<> Load();
    // Whether `fingerprint` (canonical, as FormatFingerprint gives it) is listed, after reading
    // the file again if it has changed. A file that cannot be read trusts nobody. Any thread.
    bool Trusts(const std::string& fingerprint);

    // A file larger than this is not a list of fingerprints.
    static constexpr std::uint64_t kMaxSize = 1 << 20;

  private:
    struct Identity {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint64_t size = 0;
        std::int64_t modifiedNs = 0;
        bool operator==(const Identity&) const = default;
    };
    static Identity IdentityOf(const struct stat& st);
    // With mutex_ held: reads the file when it differs from what was read last.
    void Refresh();
    common::Outcome<> Read();

    const std::string path_;
    const Notice notice_;
    // Guards what was read: every handshake checks the file, on whichever thread runs it.
    std::mutex mutex_;
    std::set<std::string> trusted_;
    bool readable_ = false;
    bool everRead_ = false;
    std::string text_;  // as read last, so that notices come only when it changes
    Identity identity_;
    // File times move in coarse ticks: a change right after a read of a file changed just before
    // may leave the identity as it was. Such a read is repeated at every check until one comes
    // when the file's time is a second old.
    bool racy_ = false;
};

}  // namespace tls
