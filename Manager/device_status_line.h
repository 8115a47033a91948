// The log window's status line: the device's port and path, its state, the connected clients,
// the last error with its time and when a device nobody holds will be released, for the eye and
// for a screen reader.
//
// Its words (the states, "clients", "last error", its accessible name) are components of the
// window, so the language library replaces them and the text export lists them like every other
// text of the window. The port, the path and the reason stay in the connection log's words: the
// line and the log then say the same, the reason can be found in the log and searched for, and
// much of it is the system's or the modem's own words, which nobody can translate.
#pragma once

#include <QLabel>
#include <array>
#include <optional>

#include "device_status.h"

namespace texts {
class Component;
}

namespace manager {

class DeviceStatusLine : public QLabel {
    Q_OBJECT

  public:
    // The words, in the order in which the window owns them.
    enum Word {
        kName,  // the line's accessible name
        kClosed,
        kDialling,
        kOpen,
        kModemConnected,
        kLost,
        kOneClient,
        kClients,    // %1: the number
        kLastError,  // %1: date and time, %2: the reason
        kNoGateway,  // no gateway runs on this computer (remote mode, a failed start)
        kReleaseAt,  // %1: when a device nobody holds any longer will be released
        kWordCount
    };

    // Adds the line ("Label_DeviceStatus") and its words to `window`'s components, in order.
    DeviceStatusLine(QWidget* parent, texts::Component& window);

    // Shows `status`; nothing: no gateway runs on this computer. User-interface thread only.
    void ShowStatus(const std::optional<gateway::DeviceStatus>& status);

    // The words of `word` as the window holds them now.
    QString Words(Word word) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Render();

    // Owned by the window's components, which outlive every drawing of the line.
    std::array<texts::Component*, kWordCount> words_{};
    std::optional<gateway::DeviceStatus> status_;
};

}  // namespace manager
