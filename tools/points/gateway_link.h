// vr620-points' connection to the gateway: one TCP connection on Qt's event loop, one request
// on the wire at a time, the others queued. It says DEVICE_CONNECT once on every connection and
// DEVICE_DISCONNECT when it is closed; a connection that fails or breaks is tried again after a
// pause, by itself. After an ERROR it asks LAST_REASON next, so that the reason told is that
// ERROR's. A reply (a device transaction, a modem dial) may take a minute, a connection attempt
// 10 s, and the pause is 2 s. Nothing here ever blocks the window: every wait is a timer.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <optional>

class QTcpSocket;

namespace points {

class GatewayLink : public QObject {
    Q_OBJECT

  public:
    enum class State { kConnecting, kConnected, kWaitingToRetry, kClosed };

    GatewayLink(const QString& host, quint16 port, QObject* parent = nullptr);
    ~GatewayLink() override;

    void Start();
    // Queues a read or a write. The outcome comes as Answered, or Failed when the request
    // could not be carried (no connection, a connection lost). An ERROR comes with the
    // gateway's reason in its own words, empty when it gave none (a gateway that does not know
    // LAST_REASON, or the connection ended before the reason came).
    void Read(quint16 point);
    void Write(quint16 point, const QByteArray& value);
    // Requests queued or on the wire.
    int Pending() const;
    // Drops the connection and connects afresh at once (a new DEVICE_CONNECT).
    void Reconnect();
    // DEVICE_DISCONNECT after the request on the wire, then the connection closes and Closed
    // is emitted; at once when there is no connection.
    void Close();

    // "host:port", an IPv6 address in brackets.
    QString Endpoint() const;

  signals:
    void StateChanged(points::GatewayLink::State state, const QString& text);
    void Answered(quint16 code, quint16 point, bool ok, const QByteArray& data,
                  const QString& reason);
    void Failed(quint16 code, quint16 point, const QString& reason);
    void Closed();

  private:
    struct Request {
        std::uint16_t code = 0;
        std::uint16_t point = 0;
        QByteArray data;
    };

    void Connect();
    void OnConnected();
    void OnReadyRead();
    void OnReply(const Request& request, bool ok, const QByteArray& data);
    void OnReason(const QString& reason);
    // After a reply: the next request, or the end of a closing link.
    void ContinueOrClose();
    void Enqueue(const Request& request);
    void SendNext();
    // Ends the connection for `reason`: whatever was asked fails, and a retry is set unless
    // the link is closing.
    void Drop(const QString& reason);
    void SetState(State state, const QString& text);

    QString host_;
    quint16 port_;
    QTcpSocket* socket_;
    QTimer replyTimer_;
    QTimer retryTimer_;
    QByteArray received_;
    std::optional<Request> onWire_;
    std::deque<Request> queue_;
    // The request whose ERROR waits for its reason (LAST_REASON queued or on the wire).
    std::optional<Request> refused_;
    State state_ = State::kWaitingToRetry;
    // Whether the gateway answered this connection's DEVICE_CONNECT with OK.
    bool deviceOpen_ = false;
    bool closing_ = false;
};

}  // namespace points
