// TLS with both sides pinned: each side presents its own certificate and trusts the other's only
// when its SHA-256 fingerprint is listed in a trust file (or, where a CA is given, when the CA
// signed it). A context holds one side's certificate, key and trust; the connections made with it
// are streams (tls_stream.h). The Windows build has no TLS: there Available() is false and every
// context fails with a reason that says so.
#pragma once

#include <memory>
#include <string>

#include "notice.h"
#include "outcome.h"

namespace tls {

// Whether this build speaks TLS at all.
bool Available();

// One side's files, as the user names them.
struct Settings {
    std::string certificate;  // PEM: the certificate first, then any chain
    std::string key;          // PEM: its private key, not encrypted
    std::string trust;        // trusted fingerprints, one a line; empty: none
    std::string trustCa;      // PEM: a CA whose certificates are trusted; empty: none
};

enum class Role { kServer, kClient };

// Opaque; made by MakeContext, used by the streams made with it. Any thread may use one.
class Context {
  public:
    virtual ~Context() = default;
};

// The server's side requires a certificate of every client; both sides accept TLS 1.2 and
// prefer 1.3. Fails when a file cannot be read or used (a key that does not match the
// certificate among them). `notice` hears the trust file's notices.
common::Outcome<std::unique_ptr<Context>> MakeContext(Role role, const Settings& settings,
                                                      Notice notice);

}  // namespace tls
