#include "gateway_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

#include "client_table.h"
#include "command_handler.h"
#include "device_session.h"
#include "log_writer.h"
#include "message_format.h"
#include "socket_layer.h"

namespace gateway {
namespace {

using namespace std::chrono_literals;

// Guards the client table, and only that; no socket call, log line or device call is made
// while it is held.
std::mutex ClientTableMutex;
ClientTable clientTable;

std::atomic<bool> ServerStopFlag{false};
std::atomic<bool> serverRunning{false};
std::atomic<int> listeningPort{0};

// Serialises Start and Stop, which own the server thread object.
std::mutex controlMutex;
std::thread serverThread;

constexpr auto kIdlePause = 10ms;

void RemoveClient(int socket) {
    {
        std::lock_guard lock(ClientTableMutex);
        clientTable.Remove(socket);
    }
    close(socket);
}

void LogReceiveFailure(int result, int client) {
    switch (result) {
        case kResultBadLength:
            WriteLogLine(
                "Received data from client on %d does not fit to the buffer! Connection "
                "closed...",
                client);
            break;
        case kResultReceiveError:
            WriteLogLine("Error in receiving data from client on %d! Connection closed...", client);
            break;
        case kResultStalled:
            WriteLogLine("Client on %d stopped in the middle of a message! Connection closed...",
                         client);
            break;
        case kResultConnectionReset:
            WriteLogLine("Client on %d disconnected", client);
            break;
        default:
            WriteLogLine("Invalid socket on %d! Connection closed...", client);
            break;
    }
}

void LogSendFailure(int result, int client) {
    switch (result) {
        case kResultBadLength:
            WriteLogLine("Error in data length! Client connection on %d closed ...", client);
            break;
        case kResultSendError:
            WriteLogLine("Error in sending data to client on %d! Connection closed...", client);
            break;
        case kResultConnectionReset:
            WriteLogLine("Client on %d disconnected", client);
            break;
        default:
            WriteLogLine("Invalid socket on %d! Connection closed...", client);
            break;
    }
}

void AcceptThread(int listener, const std::atomic<bool>* acceptStop) {
    for (;;) {
        int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            // The server shuts the listening socket down to end this thread.
            if (acceptStop->load()) return;
            if (errno == EINTR) continue;
            WriteLogLine("Socket error, accept function failed!");
            std::this_thread::sleep_for(kIdlePause);
            continue;
        }
        // A client that does not read its replies must not block the server for ever.
        timeval sendBound{kMessageCompletionMs / 1000, (kMessageCompletionMs % 1000) * 1000};
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &sendBound, sizeof sendBound);
        ClientTable::AddResult added;
        {
            std::lock_guard lock(ClientTableMutex);
            added = clientTable.Add(client);
        }
        if (added == ClientTable::AddResult::kFull) {
            WriteLogLine(
                "Client on %d refused, already %zu clients connected! Connection closed...", client,
                kMaxClients);
            close(client);
            continue;
        }
        WriteLogLine("Client on %d connected", client);
    }
}

// One message from a ready client: receive, handle, reply. A failed transfer removes it.
void ServeClient(int client, std::array<std::uint8_t, kMaxBodySize + 1>& buffer) {
    int received = ReceiveGatewayMessage(client, buffer.data(), kMaxBodySize);
    if (received < 0) {
        LogReceiveFailure(received, client);
        RemoveClient(client);
        return;
    }
    std::uint16_t replyLength = HandleGatewayCommand(buffer.data(), received, client);
    int sent = SendGatewayMessage(client, buffer.data(), replyLength);
    if (sent < 0) {
        LogSendFailure(sent, client);
        RemoveClient(client);
    }
}

void ServeUntilStopped() {
    std::array<std::uint8_t, kMaxBodySize + 1> buffer{};
    std::array<pollfd, kMaxClients> ready{};
    bool idle = false;
    while (!ServerStopFlag.load()) {
        ClientTable working;
        {
            std::lock_guard lock(ClientTableMutex);
            working = clientTable;
        }
        if (working.count == 0) {
            // Never poll an empty set.
            std::this_thread::sleep_for(kIdlePause);
            idle = true;
            continue;
        }
        for (std::uint32_t i = 0; i < working.count; ++i) {
            ready[i] = pollfd{working.sockets[i], POLLIN, 0};
        }
        // After an idle pass, wait up to the pause in poll itself, so that a request that
        // arrives in the meantime is handled at once.
        int timeout = idle ? static_cast<int>(kIdlePause.count()) : 0;
        int result = poll(ready.data(), working.count, timeout);
        if (result < 0) {
            if (errno != EINTR) {
                WriteLogLine("Error in selecting socket from socket set!");
                std::this_thread::sleep_for(kIdlePause);
            }
            idle = true;
            continue;
        }
        if (result == 0) {
            idle = true;
            continue;
        }
        idle = false;
        for (std::uint32_t i = 0; i < working.count; ++i) {
            if (ready[i].revents != 0) ServeClient(ready[i].fd, buffer);
        }
    }
}

void CloseRemainingClients() {
    ClientTable remaining;
    {
        std::lock_guard lock(ClientTableMutex);
        remaining = clientTable;
        clientTable = ClientTable{};
    }
    for (std::uint32_t i = 0; i < remaining.count; ++i) close(remaining.sockets[i]);
}

void ServerThread(int port) {
    int listener = CreateServerSocket(port);
    if (listener == kInvalidSocket) {
        WriteLogLine("Error in creating server connection! Terminating the application...");
        serverRunning.store(false);
        return;
    }
    int bound = BoundPort(listener);
    WriteLogLine("Server started. Listening to port %d...", bound);

    std::atomic<bool> acceptStop{false};
    std::thread acceptor;
    try {
        acceptor = std::thread(AcceptThread, listener, &acceptStop);
    } catch (const std::system_error&) {
        WriteLogLine("Error in creating accept thread");
        DestroyServerSocket(listener);
        serverRunning.store(false);
        return;
    }
    listeningPort.store(bound);
    std::this_thread::sleep_for(100ms);

    ServeUntilStopped();

    // Shutting the listening socket down wakes the blocked accept; the accept thread is gone
    // before the socket is destroyed.
    listeningPort.store(0);
    acceptStop.store(true);
    shutdown(listener, SHUT_RDWR);
    acceptor.join();
    DestroyServerSocket(listener);
    CloseRemainingClients();
    WriteLogLine("Exiting server thread...");
    serverRunning.store(false);
}

}  // namespace

bool StartGatewayServer(int port) {
    std::lock_guard control(controlMutex);
    if (serverThread.joinable()) {
        if (serverRunning.load()) return false;
        serverThread.join();  // ended by itself: its listening socket could not be created
    }
    ResetDeviceSession();
    ServerStopFlag.store(false);
    serverRunning.store(true);
    try {
        serverThread = std::thread(ServerThread, port);
    } catch (const std::system_error&) {
        serverRunning.store(false);
        return false;
    }
    return true;
}

bool StopGatewayServer() {
    if (OpenCount() != 0) DeviceForceClose();
    std::lock_guard control(controlMutex);
    if (!serverThread.joinable()) return true;
    ServerStopFlag.store(true);
    serverThread.join();
    // A connect that the server handled between the close above and its end must not leave
    // the device open behind a stopped gateway.
    if (OpenCount() != 0) DeviceForceClose();
    return true;
}

unsigned GetClientCount() {
    std::lock_guard lock(ClientTableMutex);
    return clientTable.count;
}

int GatewayServerPort() {
    return listeningPort.load();
}

bool GatewayServerRunning() {
    return serverRunning.load();
}

}  // namespace gateway
