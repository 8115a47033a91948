// The key commands that vr620-gatewayd and vr620 both offer, with the same words: make a key
// and print its fingerprint, print a certificate's fingerprint. Results go to standard output,
// failures to standard error after `program`'s name.
#pragma once

#include <string>

namespace tls {

// True when it worked.
bool RunMakeKey(const std::string& program, const std::string& folder);
bool RunFingerprint(const std::string& program, const std::string& file);

}  // namespace tls
