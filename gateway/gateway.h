// The gateway's front door: the manager and the headless gateway reach the gateway server, its
// device session, the device's state, the connection log and the local-host check only through
// these named operations. They are doors onto the one server of the process.
//
// The device-session operations and the stop hand their work to the gateway and return at
// once; they report back through `done`, called on one of the gateway's threads (or at once on
// the caller's when no server runs), so that a caller never waits for the serial line.
#pragma once

#include <functional>

#include "access_list.h"
#include "device_status.h"
#include "local_host.h"
#include "log_writer.h"
#include "modem_settings.h"
#include "outcome.h"
#include "server_config.h"

namespace gateway {

// Starts the server: the device session is configured, the listening socket is bound and
// listens before this returns. When it cannot listen, why ("TCP port 7105 is in use by another
// program", an address not of this machine, ...), with "Error in creating server connection!
// Terminating the application..." and the reason in the log; a failure too while a server
// already runs. `endedByItself` is called on the server's thread if it ever ends without being
// stopped.
common::Outcome<> StartGatewayServer(const ServerConfig& config,
                                     std::function<void()> endedByItself = {});

// Closes the device whatever its count (after the transaction that runs), closes every
// connection, ends the server's threads and then calls `stopped`. The server's last log lines
// are written meanwhile; they must not wait for the caller. A stopped server may be started
// again.
void StopGatewayServerAsync(std::function<void()> stopped);
// The same, waiting for the end. True once no server runs.
bool StopGatewayServer();

// Connected clients, 0 while no server runs.
unsigned GetClientCount();
// True from a successful start until the server has ended.
bool GatewayServerRunning();
// The port the server listens on while it serves, 0 before and after.
int GatewayServerPort();

// The device session's zero-based channel (0 is COM1).
int GetChannel();
// Moves the session to `channel`: an open device is closed and opened again there (in modem
// mode a hang-up and a dial). Without a running server the channel is only stored.
void SetChannel(int channel, std::function<void(bool)> done = {});
// In force from the session's next open; without a running server it changes nothing (a start
// takes the modem settings of its configuration).
void SetModemSettings(const ModemSettings& settings, std::function<void()> done = {});

// The device's state now: COM number and path, closed, dialling, open, connected through the
// modem or lost, the connected clients, the last reason a command failed and its time. Never
// waits for the serial line; also without a running server (then closed, on the stored
// channel).
DeviceStatus GetDeviceStatus();
// Attaches `receiver` (null detaches; one at a time): it is handed the state at once and after
// every change, on the thread that made it, without waiting for the serial line; a reason that
// repeats is handed on at most once a second. See DeviceStatusReceiver for what it may do.
// Detach it before destroying it.
void SetDeviceStatusReceiver(DeviceStatusReceiver* receiver);

}  // namespace gateway
