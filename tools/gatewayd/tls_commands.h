// vr620-gatewayd's TLS commands, which do their work and end.
#pragma once

#include <optional>

#include "gatewayd_options.h"

namespace gatewayd {

// The exit status when the options ask for a command (--tls-make-key, --tls-fingerprint).
std::optional<int> RunTlsCommand(const Options& options);

}  // namespace gatewayd
