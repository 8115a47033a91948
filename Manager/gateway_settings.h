// The gateway's settings in the manager's configuration file, section GATEWAY_SETTINGS: the
// address it listens on and the networks it serves (IPv4 or IPv6), the idle limit, how long a
// device nobody holds stays open, whether reads of one point share a transaction, and TLS: a
// port with this computer's certificate, key and trust (in remote mode, the remote gateway's
// TLS port, which the manager's relay goes to). Without the section the gateway listens on
// every interface of both families, serves everybody, keeps silent clients, releases a device
// nobody holds after 60 s, shares reads and has no TLS.
#pragma once

#include <string>

#include "config_file.h"
#include "gateway.h"

namespace manager {

// Fills these settings of `config` from `file`. Returns a text that names the key and the
// value when a value is malformed (the gateway is then not started), or the empty text.
std::string ReadGatewaySettings(const ConfigFile& file, gateway::ServerConfig& config);

// Whether any TLS key has a value, well-formed or not: in remote mode the client programs then
// reach the remote gateway through the manager's relay, or not at all, never unencrypted.
bool TlsWanted(const ConfigFile& file);

}  // namespace manager
