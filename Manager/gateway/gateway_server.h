// The gateway server: one thread that owns the listening socket and serves every client in one
// polling loop, and one that accepts connections into the shared client table. Every event is
// written to the connection log.
#pragma once

namespace gateway {

// Resets the device session and starts the server thread on `port` (0: the system chooses).
// Returns true once the thread runs; it does not wait for the listening socket. False while a
// server is already running.
bool StartGatewayServer(int port);

// Closes the device session whatever its count, then stops the server and waits for its
// threads. Connections still open are closed. A stopped server may be started again.
// The server's last log lines are written while the caller waits: the attached receiver must
// not wait for the calling thread (detach it first, or deliver without waiting for it).
bool StopGatewayServer();

// The number of connected clients.
unsigned GetClientCount();

// The port the server listens on while it serves, 0 before and after.
int GatewayServerPort();

// True from the start until the server thread has ended (also when it ended by itself because
// the listening socket could not be created).
bool GatewayServerRunning();

}  // namespace gateway
