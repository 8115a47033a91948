#include "gateway_link.h"

#include <QTcpSocket>
#include <span>
#include <utility>

#include "message_format.h"

namespace points {
namespace {

constexpr int kReplyMs = 60'000;
constexpr int kConnectMs = 10'000;
constexpr int kRetryMs = 2'000;

// The requests the link makes of itself, whose outcome it keeps.
bool IsLinkCommand(std::uint16_t code) {
    return code == gateway::kDeviceConnect || code == gateway::kDeviceDisconnect ||
           code == gateway::kLastReason;
}

// The reason's text as the gateway wrote it, on one line.
QString ReasonText(const QByteArray& data) {
    return QString::fromUtf8(data.left(static_cast<qsizetype>(gateway::kMaxValueSize)))
        .simplified();
}

}  // namespace

GatewayLink::GatewayLink(const QString& host, quint16 port, QObject* parent)
    : QObject(parent), host_(host), port_(port), socket_(new QTcpSocket(this)) {
    replyTimer_.setSingleShot(true);
    retryTimer_.setSingleShot(true);
    retryTimer_.setInterval(kRetryMs);
    connect(&retryTimer_, &QTimer::timeout, this, &GatewayLink::Connect);
    connect(&replyTimer_, &QTimer::timeout, this, [this] {
        if (state_ == State::kConnecting) {
            Drop(tr("cannot reach the gateway at %1: no answer within %2 s")
                     .arg(Endpoint())
                     .arg(kConnectMs / 1000));
        } else {
            Drop(tr("no reply from the gateway within %1 s").arg(kReplyMs / 1000));
        }
    });
    connect(socket_, &QTcpSocket::connected, this, &GatewayLink::OnConnected);
    connect(socket_, &QTcpSocket::readyRead, this, &GatewayLink::OnReadyRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this] {
        if (state_ == State::kConnecting) {
            Drop(tr("cannot reach the gateway at %1: %2").arg(Endpoint(), socket_->errorString()));
        } else {
            Drop(tr("the connection to the gateway was lost: %1").arg(socket_->errorString()));
        }
    });
}

GatewayLink::~GatewayLink() {
    // No signal of the socket may reach a half-destroyed link.
    socket_->disconnect(this);
    socket_->abort();
}

QString GatewayLink::Endpoint() const {
    return (host_.contains(':') ? "[" + host_ + "]" : host_) + ":" + QString::number(port_);
}

void GatewayLink::SetState(State state, const QString& text) {
    state_ = state;
    emit StateChanged(state, text);
}

void GatewayLink::Start() {
    Connect();
}

void GatewayLink::Connect() {
    if (closing_) return;
    received_.clear();
    SetState(State::kConnecting, tr("connecting to the gateway at %1").arg(Endpoint()));
    replyTimer_.start(kConnectMs);
    socket_->connectToHost(host_, port_);
}

void GatewayLink::OnConnected() {
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    replyTimer_.stop();
    deviceOpen_ = false;
    // DEVICE_CONNECT goes first, before anything that the news of the connection brings.
    state_ = State::kConnected;
    queue_.push_front({gateway::kDeviceConnect, 0, {}});
    SendNext();
    SetState(State::kConnected, tr("connected to the gateway at %1").arg(Endpoint()));
}

void GatewayLink::Read(quint16 point) {
    Enqueue({gateway::kSnvtRead, point, {}});
}

void GatewayLink::Write(quint16 point, const QByteArray& value) {
    Enqueue({gateway::kSnvtWrite, point, value});
}

int GatewayLink::Pending() const {
    return static_cast<int>(queue_.size()) + (onWire_ ? 1 : 0);
}

void GatewayLink::Enqueue(const Request& request) {
    if (state_ != State::kConnected || closing_) {
        emit Failed(request.code, request.point, tr("not connected to the gateway"));
        return;
    }
    queue_.push_back(request);
    SendNext();
}

void GatewayLink::SendNext() {
    if (onWire_ || queue_.empty() || state_ != State::kConnected) return;
    onWire_ = queue_.front();
    queue_.pop_front();
    const auto* data = reinterpret_cast<const std::uint8_t*>(onWire_->data.constData());
    const auto body = gateway::BuildRequestBody(
        onWire_->code, onWire_->point,
        std::span<const std::uint8_t>(data, static_cast<std::size_t>(onWire_->data.size())));
    const auto length = gateway::EncodeLength(static_cast<std::uint32_t>(body.size()));
    QByteArray message(reinterpret_cast<const char*>(length.data()),
                       static_cast<qsizetype>(length.size()));
    message.append(reinterpret_cast<const char*>(body.data()), static_cast<qsizetype>(body.size()));
    replyTimer_.start(kReplyMs);
    socket_->write(message);
}

void GatewayLink::OnReadyRead() {
    received_.append(socket_->readAll());
    while (received_.size() >= static_cast<qsizetype>(gateway::kLengthFieldSize)) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(received_.constData());
        const std::uint32_t length =
            gateway::DecodeLength(std::span<const std::uint8_t, gateway::kLengthFieldSize>(
                bytes, gateway::kLengthFieldSize));
        if (length > static_cast<std::uint32_t>(gateway::kMaxBodySize)) {
            Drop(tr("the gateway sent a malformed reply"));
            return;
        }
        const auto whole = static_cast<qsizetype>(gateway::kLengthFieldSize + length);
        if (received_.size() < whole) return;
        // A gateway that does not know LAST_REASON echoes its body up to the first zero byte,
        // which is the first: no reason to tell.
        if (length == 0 && onWire_ && onWire_->code == gateway::kLastReason) {
            received_.remove(0, whole);
            replyTimer_.stop();
            onWire_.reset();
            OnReason({});
            if (state_ != State::kConnected) return;
            continue;
        }
        const auto reply = gateway::ParseReplyBody(
            std::span<const std::uint8_t>(bytes + gateway::kLengthFieldSize, length));
        // The server never speaks unasked, and answers in order.
        if (!onWire_ || !reply || reply->code != onWire_->code || reply->snvt != onWire_->point) {
            Drop(tr("the gateway sent a malformed reply"));
            return;
        }
        received_.remove(0, whole);
        replyTimer_.stop();
        const Request request = *onWire_;
        onWire_.reset();
        const QByteArray data(reinterpret_cast<const char*>(reply->data.data()),
                              static_cast<qsizetype>(reply->data.size()));
        if (request.code == gateway::kLastReason) {
            OnReason(reply->Ok() ? ReasonText(data) : QString());
        } else {
            OnReply(request, reply->Ok(), data);
        }
        if (state_ != State::kConnected) return;
    }
}

void GatewayLink::OnReply(const Request& request, bool ok, const QByteArray& data) {
    if (request.code == gateway::kDeviceDisconnect) {
        deviceOpen_ = false;
        Drop({});
        return;
    }
    if (!ok && !closing_) {
        // Asked before anything else, so that the reason is this ERROR's.
        refused_ = request;
        queue_.push_front({gateway::kLastReason, 0, {}});
    } else if (request.code == gateway::kDeviceConnect) {
        deviceOpen_ = ok;
        if (ok) SetState(State::kConnected, tr("connected to the gateway at %1").arg(Endpoint()));
    } else {
        emit Answered(request.code, request.point, ok, data, {});
    }
    ContinueOrClose();
}

void GatewayLink::OnReason(const QString& reason) {
    const std::optional<Request> refused = std::exchange(refused_, std::nullopt);
    if (refused && refused->code == gateway::kDeviceConnect) {
        SetState(State::kConnected,
                 reason.isEmpty()
                     ? tr("connected to the gateway at %1, but it could not open the device "
                          "(DEVICE_CONNECT answered ERROR)")
                           .arg(Endpoint())
                     : tr("connected to the gateway at %1, but it could not open the device: %2")
                           .arg(Endpoint(), reason));
    } else if (refused) {
        emit Answered(refused->code, refused->point, false, {}, reason);
    }
    ContinueOrClose();
}

void GatewayLink::ContinueOrClose() {
    if (state_ != State::kConnected) return;  // a slot dropped the connection
    if (closing_ && !onWire_ && queue_.empty()) {
        Close();
        return;
    }
    SendNext();
}

void GatewayLink::Reconnect() {
    if (closing_) return;
    Drop(tr("connecting again"));
    retryTimer_.stop();
    Connect();
}

void GatewayLink::Close() {
    closing_ = true;
    retryTimer_.stop();
    // What the window asked is dropped; the request on the wire is waited for.
    while (!queue_.empty() && !IsLinkCommand(queue_.back().code)) queue_.pop_back();
    if (state_ != State::kConnected) {
        Drop({});
        return;
    }
    if (onWire_) return;  // OnReply comes back here
    if (deviceOpen_) {
        queue_.push_back({gateway::kDeviceDisconnect, 0, {}});
        SendNext();
        return;
    }
    Drop({});
}

void GatewayLink::Drop(const QString& reason) {
    replyTimer_.stop();
    const bool wasClosed = state_ == State::kClosed;
    socket_->abort();
    received_.clear();
    deviceOpen_ = false;
    std::deque<Request> failed;
    if (onWire_) failed.push_back(*onWire_);
    onWire_.reset();
    failed.insert(failed.end(), queue_.begin(), queue_.end());
    queue_.clear();
    const std::optional<Request> refused = std::exchange(refused_, std::nullopt);
    if (closing_) {
        state_ = State::kClosed;
        if (!wasClosed) emit Closed();
        return;
    }
    // An ERROR whose reason did not come is told without it, before the loss that followed.
    state_ = State::kWaitingToRetry;
    if (refused && !IsLinkCommand(refused->code))
        emit Answered(refused->code, refused->point, false, {}, {});
    SetState(State::kWaitingToRetry,
             tr("%1; trying again in %2 s").arg(reason).arg(retryTimer_.interval() / 1000.0));
    retryTimer_.start();
    for (const Request& request : failed) {
        if (!IsLinkCommand(request.code)) emit Failed(request.code, request.point, reason);
    }
}

}  // namespace points
