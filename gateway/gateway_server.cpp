#include "gateway_server.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "client_stream.h"
#include "deadline.h"
#include "device_port.h"
#include "log_writer.h"
#include "message_format.h"
#include "message_receiver.h"
#include "request.h"
#include "socket_layer.h"
#include "system_error.h"

namespace gateway {
namespace {

using namespace std::chrono_literals;

// How long the rest of a message may take once its first byte has come, and how long a reply
// may take to leave: one client that stops half-way cannot keep its place for long.
constexpr auto kMessageBound = 2s;
// No accepting for this long after an accept failure that may last (no descriptors left).
constexpr auto kAcceptPause = 1s;

}  // namespace

struct GatewayServer::Connection {
    // A refused TLS client lingers until it has closed, or for kMessageBound.
    enum class Phase { kHandshaking, kReceiving, kAtDevice, kReplying, kLingering };

    int fd = net::kInvalidSocket;
    std::uint64_t id = 0;
    Phase phase = Phase::kReceiving;
    bool closed = false;
    // Among the clients: from the accept, a TLS client from the end of its handshake.
    bool counted = false;
    IpAddress peer;
    ClientStream stream;                    // owns fd
    Clock::time_point handshakeDeadline{};  // and the end of lingering
    MessageReceiver receiver;
    Request request;                  // the one at the device
    std::string lastReason;           // of this connection's most recent ERROR
    std::vector<std::uint8_t> reply;  // length field and body
    std::size_t replySent = 0;
    Clock::time_point messageDeadline{};
    Clock::time_point replyDeadline{};
    Clock::time_point lastHeard{};
};

GatewayServer::GatewayServer(LogWriter& log, DeviceMonitor& monitor)
    : log_(log), monitor_(monitor) {}

GatewayServer::~GatewayServer() {
    Stop();
}

common::Outcome<> GatewayServer::Start(const ServerConfig& config,
                                       std::function<void()> endedByItself) {
    config_ = config;
    config_.idleTimeoutSeconds = std::clamp(config_.idleTimeoutSeconds, 0, kMaxIdleTimeoutSeconds);
    config_.releaseAfterSeconds =
        std::clamp(config_.releaseAfterSeconds, 0, kMaxIdleTimeoutSeconds);
    endedByItself_ = std::move(endedByItself);
    // In force before the first client can be served.
    static_cast<void>(session_.SetChannel(config_.channel));
    session_.SetModemSettings(config_.modem);
    if (config_.runner) {
        // Each connection's requests are its own at the other gateway, which keeps the device.
        runner_ = config_.runner.get();
        relayTo_ = runner_->Name();
        config_.coalesce = false;
        config_.releaseAfterSeconds = 0;
        monitor_.SetPort(0, "relay to " + relayTo_);
    } else {
        // The state shows this server's port, whatever the one before used.
        monitor_.SetPort(config_.channel + 1, DevicePathOfCom(config_.channel + 1).value_or(""));
    }

    if (config_.tlsPort) {
        auto context = tls::MakeContext(
            tls::Role::kServer, config_.tls,
            [this](const std::string& notice) { log_.Write("%s", notice.c_str()); });
        if (!context.Ok()) {
            log_.Write("Error in creating server connection! Terminating the application...");
            log_.Write("%s", context.Why().words.c_str());
            return context.Why();
        }
        tlsContext_ = std::move(context.Value());
    }
    auto listeners = OpenListeners(config_);
    if (!listeners.Ok()) {
        log_.Write("Error in creating server connection! Terminating the application...");
        log_.Write("%s", listeners.Why().words.c_str());
        return listeners.Why();
    }
    listeners_ = std::move(listeners.Value());
    if (!wake_.Open()) {
        const common::Failure why{common::FailureKind::kOther,
                                  "the server cannot wait for its clients: " +
                                      common::SystemErrorText(common::LastSystemError())};
        log_.Write("Error in creating server connection! Terminating the application...");
        log_.Write("%s", why.words.c_str());
        CloseListeners(listeners_);
        return why;
    }
    const int port = ListenerPort(listeners_, false);
    const int tlsPort = ListenerPort(listeners_, true);
    log_.Write("Server started. Listening to port %d...", port);
    if (config_.tlsPort && config_.tlsOnly) {
        log_.Write("Listening to TLS port %d; port %d serves this computer alone...", tlsPort,
                   port);
    } else if (config_.tlsPort) {
        log_.Write("Listening to TLS port %d...", tlsPort);
    }
    if (!relayTo_.empty())
        log_.Write("Relaying the requests to the gateway at %s...", relayTo_.c_str());
    {
        std::lock_guard lock(mutex_);
        running_ = true;
        port_ = port;
        tlsPort_ = tlsPort;
    }
    monitor_.SetClients(0);
    nextHeartbeat_ = Clock::now() + config_.heartbeatInterval;
    worker_ = std::make_unique<DeviceWorker>(*runner_, session_, wake_, config_.coalesce);
    bool started = worker_->Start();
    if (started) {
        std::lock_guard lock(mutex_);
        try {
            thread_ = std::thread(&GatewayServer::Serve, this);
            started_ = true;
        } catch (const std::system_error&) {
            started = false;
        }
    }
    if (!started) {
        log_.Write("Error in creating server thread");
        ShutDown(true);
        return common::Failure{common::FailureKind::kOther, "the server's threads cannot be made"};
    }
    return common::Done{};
}

void GatewayServer::RequestStop(std::function<void()> stopped) {
    {
        std::lock_guard lock(mutex_);
        if (!ended_ && started_) {
            if (stopped) stopped_.push_back(std::move(stopped));
            stopRequested_ = true;
            wake_.Raise();
            return;
        }
    }
    if (stopped) stopped();
}

void GatewayServer::Stop() {
    RequestStop();
    std::lock_guard lock(joinMutex_);
    if (thread_.joinable()) thread_.join();
}

bool GatewayServer::StopRequested() {
    std::lock_guard lock(mutex_);
    return stopRequested_;
}

bool GatewayServer::Running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

int GatewayServer::Port() const {
    std::lock_guard lock(mutex_);
    return port_;
}

int GatewayServer::TlsPort() const {
    std::lock_guard lock(mutex_);
    return tlsPort_;
}

unsigned GatewayServer::ClientCount() const {
    std::lock_guard lock(mutex_);
    return clientCount_;
}

void GatewayServer::SetChannel(int channel, std::function<void(bool)> done) {
    // A relay has no channel of its own.
    if (worker_ == nullptr || config_.runner) {
        if (done) done(false);
        return;
    }
    worker_->Post(ChannelJob{channel, std::move(done)});
}

void GatewayServer::SetModemSettings(const ModemSettings& settings, std::function<void()> done) {
    if (worker_ == nullptr) {
        if (done) done();
        return;
    }
    worker_->Post(ModemJob{settings, std::move(done)});
}

void GatewayServer::Serve() {
    std::vector<net::PollEntry> entries;
    std::vector<Connection*> polled;
    bool failed = false;
    // The entries ahead of the connections: the wake-up, the path watch, the listeners.
    constexpr std::size_t kFirstListener = 2;
    const std::size_t firstConnection = kFirstListener + listeners_.size();
    // Bytes that TLS holds already need no poll to be received.
    const auto holdsBytes = [](const Connection& c) {
        return c.phase == Connection::Phase::kReceiving && c.stream.Pending();
    };
    while (!StopRequested()) {
        FollowHeldPath();
        const bool accepting = !acceptFailing_ || Clock::now() >= acceptResumes_;
        entries.assign(
            {{wake_.Handle(), net::kPollReadable, 0}, {watch_.Handle(), net::kPollReadable, 0}});
        for (const Listener& listener : listeners_)
            entries.push_back(
                {accepting ? listener.socket : net::kInvalidSocket, net::kPollReadable, 0});
        polled.clear();
        bool held = false;
        for (auto& connection : connections_) {
            short events = 0;
            switch (connection->phase) {
                case Connection::Phase::kHandshaking:
                case Connection::Phase::kReceiving:
                case Connection::Phase::kLingering:
                    events = connection->stream.PollEvents(net::kPollReadable);
                    break;
                case Connection::Phase::kReplying:
                    events = connection->stream.PollEvents(net::kPollWritable);
                    break;
                case Connection::Phase::kAtDevice:
                    break;
            }
            held = held || holdsBytes(*connection);
            entries.push_back({connection->fd, events, 0});
            polled.push_back(connection.get());
        }
        if (net::Poll(entries, held ? 0 : Timeout(Clock::now())) < 0) {
            if (net::LastError().kind == net::ErrorKind::kInterrupted) continue;
            log_.Write("Error in selecting socket from socket set!");
            failed = true;
            break;
        }
        const Clock::time_point now = Clock::now();

        for (std::size_t i = 0; i < polled.size(); ++i) {
            Connection& connection = *polled[i];
            const short ready = entries[i + firstConnection].found |
                                (holdsBytes(connection) ? net::kPollReadable : 0);
            if (connection.closed || ready == 0) continue;
            switch (connection.phase) {
                case Connection::Phase::kHandshaking:
                    ContinueHandshake(connection, now);
                    break;
                case Connection::Phase::kLingering:
                    if (!connection.stream.DiscardReceived()) Drop(connection, nullptr);
                    break;
                case Connection::Phase::kReceiving:
                    Receive(connection, now);
                    break;
                case Connection::Phase::kReplying:
                    SendReply(connection, now);
                    break;
                case Connection::Phase::kAtDevice:
                    // Gone while its request is at the device; the reply is dropped.
                    if ((ready & (net::kPollHangUp | net::kPollFailed)) != 0)
                        Drop(connection, "Client on %d disconnected");
                    break;
            }
        }
        if ((entries[0].found & net::kPollReadable) != 0) {
            wake_.Clear();
            DeliverCompletions(now);
        }
        if (entries[1].found != 0 && watch_.TakeEvents()) CheckWatchedPath();
        log_.WriteDueRepeats(now);
        if (releaseDue_ && now >= *releaseDue_) {
            worker_->Post(ReleaseJob{config_.releaseAfterSeconds});
            CancelRelease();
        }
        if (config_.heartbeatInterval.count() > 0 && config_.heartbeat && now >= nextHeartbeat_) {
            config_.heartbeat();
            nextHeartbeat_ = now + config_.heartbeatInterval;
        }
        for (auto& connection : connections_) CheckDeadlines(*connection, now);
        // A closed connection frees its place before anybody new is accepted.
        std::erase_if(connections_, [](const auto& c) { return c->closed; });
        for (std::size_t i = 0; accepting && i < listeners_.size(); ++i) {
            if ((entries[kFirstListener + i].found & net::kPollReadable) != 0)
                Accept(listeners_[i], now);
        }
    }
    ShutDown(!failed);
}

int GatewayServer::Timeout(Clock::time_point now) const {
    std::optional<Clock::time_point> nearest;
    auto consider = [&](Clock::time_point t) {
        if (!nearest || t < *nearest) nearest = t;
    };
    if (acceptFailing_ && acceptResumes_ > now) consider(acceptResumes_);
    if (const auto due = log_.RepeatsDue()) consider(*due);
    if (config_.heartbeatInterval.count() > 0 && config_.heartbeat) consider(nextHeartbeat_);
    if (releaseDue_) consider(*releaseDue_);
    const auto idle = std::chrono::seconds(config_.idleTimeoutSeconds);
    for (const auto& connection : connections_) {
        if (connection->phase == Connection::Phase::kHandshaking ||
            connection->phase == Connection::Phase::kLingering)
            consider(connection->handshakeDeadline);
        if (connection->phase == Connection::Phase::kReplying) consider(connection->replyDeadline);
        if (connection->phase != Connection::Phase::kReceiving) continue;
        if (connection->receiver.InMessage()) consider(connection->messageDeadline);
        if (idle.count() > 0) consider(connection->lastHeard + idle);
    }
    if (!nearest) return -1;
    return std::min(common::MillisecondsUntil(*nearest, now), 24 * 3600 * 1000);
}

void GatewayServer::Accept(const Listener& listener, Clock::time_point now) {
    // Connections that queue while the table fills may have been closed by their clients
    // already: they are left for the next pass, which notices those closes first. Only a table
    // that was full before turns newcomers away.
    const bool fullBefore = connections_.size() >= kMaxClients;
    for (;;) {
        if (!fullBefore && connections_.size() >= kMaxClients) return;
        IpAddress peer;
        const int fd = net::AcceptConnection(listener.socket, peer);
        if (fd == net::kInvalidSocket) {
            const net::ErrorKind why = net::LastError().kind;
            if (why == net::ErrorKind::kWouldBlock) return;
            if (why == net::ErrorKind::kInterrupted) continue;
            // Lasting (no descriptors left, no memory): one line for the whole episode.
            if (!acceptFailing_) log_.Write("Socket error, accept function failed!");
            acceptFailing_ = true;
            acceptResumes_ = now + kAcceptPause;
            return;
        }
        acceptFailing_ = false;
        if (!Allowed(config_.allowed, peer)) {
            log_.Write("Client on %d from %s refused, address not allowed! Connection closed...",
                       fd, FormatIpAddress(peer).c_str());
            net::CloseSocket(fd);
            continue;
        }
        if (connections_.size() >= kMaxClients) {
            log_.Write("Client on %d refused, already %u clients connected! Connection closed...",
                       fd, static_cast<unsigned>(kMaxClients));
            net::CloseSocket(fd);
            continue;
        }
        std::unique_ptr<tls::Stream> tls;
        if (listener.tls) {
            auto accepted = tls::AcceptStream(*tlsContext_, fd);
            if (!accepted.Ok()) {
                log_.Write("Client on %d from %s refused: %s", fd, FormatIpAddress(peer).c_str(),
                           accepted.Why().words.c_str());
                net::CloseSocket(fd);
                continue;
            }
            tls = std::move(accepted.Value());
        }
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        connection->id = nextConnection_++;
        connection->lastHeard = now;
        connection->peer = peer;
        connection->stream.Open(fd, std::move(tls));
        // A TLS client is served, and counted, once its handshake has ended well.
        if (listener.tls) {
            connection->phase = Connection::Phase::kHandshaking;
            connection->handshakeDeadline = now + kTlsHandshakeBound;
        } else {
            connection->counted = true;
        }
        connections_.push_back(std::move(connection));
        if (listener.tls) continue;
        log_.Write("Client on %d connected", fd);
        CancelRelease();
        ClientsChanged();
    }
}

void GatewayServer::ContinueHandshake(Connection& connection, Clock::time_point now) {
    switch (connection.stream.Handshake()) {
        case tls::Step::kWantRead:
        case tls::Step::kWantWrite:
            return;
        case tls::Step::kRefused:
            Refuse(connection, connection.stream.TlsFailure());
            connection.stream.Linger();
            connection.phase = Connection::Phase::kLingering;
            connection.handshakeDeadline = now + kMessageBound;
            return;
        case tls::Step::kDone:
            break;
    }
    connection.phase = Connection::Phase::kReceiving;
    connection.lastHeard = now;
    connection.counted = true;
    log_.Write("Client on %d connected (TLS, SHA256 %s)", connection.fd,
               connection.stream.PeerFingerprint().c_str());
    CancelRelease();
    ClientsChanged();
}

void GatewayServer::Refuse(Connection& connection, const std::string& reason) {
    log_.Write("Client on %d from %s refused: %s", connection.fd,
               FormatIpAddress(connection.peer).c_str(), reason.c_str());
}

void GatewayServer::Receive(Connection& connection, Clock::time_point now) {
    std::uint8_t chunk[kMaxBodySize];
    const std::size_t wanted = std::min(connection.receiver.Wanted(), sizeof chunk);
    const ClientStream::Result got = connection.stream.Receive(chunk, wanted);
    if (got.outcome == ClientStream::Outcome::kWait) return;
    if (got.outcome != ClientStream::Outcome::kMoved) {
        Drop(connection, got.outcome == ClientStream::Outcome::kClosed
                             ? "Client on %d disconnected"
                             : "Error in receiving data from client on %d! Connection closed...");
        return;
    }
    if (!connection.receiver.InMessage()) connection.messageDeadline = now + kMessageBound;
    connection.lastHeard = now;
    connection.receiver.Feed({chunk, got.bytes});
    switch (connection.receiver.GetState()) {
        case MessageReceiver::State::kTooLong:
            Drop(connection,
                 "Received data from client on %d does not fit to the buffer! Connection "
                 "closed...");
            break;
        case MessageReceiver::State::kComplete:
            ServeMessage(connection, now);
            break;
        default:
            break;
    }
}

void GatewayServer::ServeMessage(Connection& connection, Clock::time_point now) {
    connection.request = DecodeRequest(connection.receiver.Body());
    connection.receiver.Next();
    const Request& request = connection.request;
    if (request.ForDevice()) {
        connection.phase = Connection::Phase::kAtDevice;
        worker_->Post(connection.id, request);
        return;
    }
    if (request.command == Command::kUnknown) {
        log_.Write("Unknown message received from client on %d", connection.fd);
        BeginReply(connection, request.value, now);
    } else if (request.refusal) {
        Answer(connection, *request.refusal, DeviceName(), now);
    } else {  // LAST_REASON
        Answer(connection, Value(connection.lastReason.begin(), connection.lastReason.end()), {},
               now);
    }
}

std::string GatewayServer::DeviceName() const {
    if (!relayTo_.empty()) return relayTo_;
    return "COM" + std::to_string(monitor_.Snapshot().com);
}

void GatewayServer::Answer(Connection& connection, const DeviceOutcome& outcome,
                           const std::string& device, Clock::time_point now) {
    const Request& request = connection.request;
    char line[128];
    std::snprintf(line, sizeof line, "%s command received from client on %d -> %s",
                  CommandName(request.command), connection.fd, outcome.Ok() ? "OK" : "ERROR");
    if (outcome.Ok()) {
        log_.Write("%s", line);
    } else {
        connection.lastReason = outcome.Why().words;
        log_.WriteLines({line, "Device on " + device + ": " + outcome.Why().words});
    }
    BeginReply(connection, EncodeReply(request, outcome), now);
}

void GatewayServer::DeliverCompletions(Clock::time_point now) {
    for (const Completion& completion : worker_->TakeCompletions()) {
        const char* device = completion.device.c_str();
        if (completion.releasedAfter > 0) {
            log_.Write("Device on %s released: no client connected for %d s", device,
                       completion.releasedAfter);
            if (!completion.outcome.Ok())
                log_.Write("Device on %s: %s", device, completion.outcome.Why().words.c_str());
        }
        // The device session tells the state of its own failures; a relay's are told here.
        if (!relayTo_.empty() && !completion.outcome.Ok())
            monitor_.Failed(completion.outcome.Why().words);
        for (const std::uint64_t id : completion.connections) {
            auto found = std::find_if(connections_.begin(), connections_.end(),
                                      [&](const auto& c) { return c->id == id; });
            if (found == connections_.end() || (*found)->closed) continue;
            Answer(**found, completion.outcome, completion.device, now);
        }
    }
    // A client that went while its connect was at the device leaves it held.
    ArmRelease();
}

void GatewayServer::BeginReply(Connection& connection, const Value& body, Clock::time_point now) {
    const auto field = EncodeLength(static_cast<std::uint32_t>(body.size()));
    connection.reply.assign(field.begin(), field.end());
    connection.reply.insert(connection.reply.end(), body.begin(), body.end());
    connection.replySent = 0;
    connection.phase = Connection::Phase::kReplying;
    connection.replyDeadline = now + kMessageBound;
    SendReply(connection, now);
}

void GatewayServer::SendReply(Connection& connection, Clock::time_point now) {
    while (connection.replySent < connection.reply.size()) {
        const ClientStream::Result sent =
            connection.stream.Send(connection.reply.data() + connection.replySent,
                                   connection.reply.size() - connection.replySent);
        if (sent.outcome == ClientStream::Outcome::kWait) return;
        if (sent.outcome != ClientStream::Outcome::kMoved) {
            Drop(connection, sent.outcome == ClientStream::Outcome::kClosed
                                 ? "Client on %d disconnected"
                                 : "Error in sending data to client on %d! Connection closed...");
            return;
        }
        connection.replySent += sent.bytes;
    }
    connection.phase = Connection::Phase::kReceiving;
    connection.lastHeard = now;
}

void GatewayServer::CheckDeadlines(Connection& connection, Clock::time_point now) {
    if (connection.closed) return;
    if (connection.phase == Connection::Phase::kHandshaking ||
        connection.phase == Connection::Phase::kLingering) {
        if (now < connection.handshakeDeadline) return;
        if (connection.phase == Connection::Phase::kHandshaking)
            Refuse(connection, "TLS handshake not finished within " +
                                   std::to_string(kTlsHandshakeBound.count()) + " s");
        Drop(connection, nullptr);
        return;
    }
    if (connection.phase == Connection::Phase::kReplying && now >= connection.replyDeadline) {
        Drop(connection, "Error in sending data to client on %d! Connection closed...");
        return;
    }
    if (connection.phase != Connection::Phase::kReceiving) return;
    if (connection.receiver.InMessage() && now >= connection.messageDeadline) {
        Drop(connection, "Client on %d stopped in the middle of a message! Connection closed...");
        return;
    }
    const auto idle = std::chrono::seconds(config_.idleTimeoutSeconds);
    if (idle.count() > 0 && now >= connection.lastHeard + idle) {
        log_.Write("Client on %d idle for %d seconds! Connection closed...", connection.fd,
                   config_.idleTimeoutSeconds);
        Drop(connection, nullptr);
    }
}

void GatewayServer::Drop(Connection& connection, const char* format) {
    if (format != nullptr) log_.Write(format, connection.fd);
    connection.stream.Close();
    connection.closed = true;
    if (connection.counted) ClientsChanged();
    // Behind its requests that still wait: a relay closes its connection to the other gateway.
    if (connection.counted && config_.runner) worker_->Post(ClosedJob{connection.id});
    ArmRelease();
}

void GatewayServer::ArmRelease() {
    if (config_.releaseAfterSeconds <= 0 || releaseDue_ || !monitor_.Held()) return;
    if (std::any_of(connections_.begin(), connections_.end(),
                    [](const auto& c) { return !c->closed; }))
        return;
    const std::chrono::seconds after(config_.releaseAfterSeconds);
    releaseDue_ = Clock::now() + after;
    monitor_.ReleaseAt(std::chrono::system_clock::now() + after);
}

void GatewayServer::CancelRelease() {
    if (!releaseDue_) return;
    releaseDue_.reset();
    monitor_.ReleaseAt(std::nullopt);
}

void GatewayServer::ClientsChanged() {
    // A TLS client in its handshake holds a place, but is no client yet.
    const auto open = std::count_if(connections_.begin(), connections_.end(),
                                    [](const auto& c) { return !c->closed && c->counted; });
    {
        std::lock_guard lock(mutex_);
        clientCount_ = static_cast<unsigned>(open);
    }
    monitor_.SetClients(static_cast<unsigned>(open));
}

void GatewayServer::FollowHeldPath() {
    std::string held = monitor_.HeldPath();
    if (held == watchedPath_) return;
    watchedPath_ = std::move(held);
    // It may have gone before the watch began. A path that cannot be watched (on Windows a
    // device path is no file to look for) is left to the requests to tell.
    if (watch_.Watch(watchedPath_) && !watchedPath_.empty()) CheckWatchedPath();
}

void GatewayServer::CheckWatchedPath() {
    if (watchedPath_.empty()) return;
    std::error_code ec;
    // A link to a device counts only while the device is there.
    if (std::filesystem::exists(watchedPath_, ec)) {
        monitor_.PortBack();
    } else {
        monitor_.PortLost();
    }
}

void GatewayServer::ShutDown(bool requested) {
    // The device is closed first, after the transaction that runs; requests still waiting for
    // the device are dropped with their connections.
    if (worker_ != nullptr) worker_->Finish();
    for (auto& connection : connections_) connection->stream.Close();
    connections_.clear();
    ClientsChanged();
    watch_.Watch({});
    watchedPath_.clear();
    CloseListeners(listeners_);
    log_.Write("Exiting server thread...");

    std::vector<std::function<void()>> stopped;
    {
        std::lock_guard lock(mutex_);
        port_ = 0;
        tlsPort_ = 0;
        ended_ = true;
        running_ = false;
        stopped.swap(stopped_);
    }
    if (!requested && endedByItself_) endedByItself_();
    for (auto& callback : stopped) callback();
}

}  // namespace gateway
