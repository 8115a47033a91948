// Where the TLS side says what it noticed that is not an error of one connection (trust-file
// lines skipped, the trust file read again or gone): the connection log, or the debug output.
#pragma once

#include <functional>
#include <string>

namespace tls {

using Notice = std::function<void(const std::string&)>;

}  // namespace tls
