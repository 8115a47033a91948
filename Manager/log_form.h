// The connection log window: one list of the most recent log lines, always scrolled to the
// newest, and under it the status line with the device's state. Lines and states arrive through
// their bridges while the window is shown or hidden. Closing it only hides it.
#pragma once

#include <QWidget>
#include <optional>

#include "device_status.h"
#include "texts/component_model.h"

class QListWidget;
class QString;

namespace manager {
class DeviceStatusLine;
}

class TLogForm : public QWidget {
    Q_OBJECT

  public:
    // The list settles at this many lines: the line after them pushes out the oldest.
    static constexpr int kMaxLines = 201;

    explicit TLogForm(QWidget* parent = nullptr);
    ~TLogForm() override;

    texts::Component& Components() { return components_; }

    // Appends one log line as the newest, drops the oldest beyond kMaxLines and scrolls to it.
    // User-interface thread only.
    void AddLogLine(const QString& line);
    void AddLogLine(const char* line);

    // Shows the device's state in the status line; nothing: no gateway runs on this computer.
    // User-interface thread only.
    void ShowDeviceStatus(const std::optional<gateway::DeviceStatus>& status);

    QListWidget* ListBox_Log;
    manager::DeviceStatusLine* Label_DeviceStatus;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    static constexpr int kDesignedWidth = 435;
    // How wide the list opens: a long line of the log whole, within the screen.
    int ListWidthForLongLines() const;

    texts::Component components_;
    bool placed_ = false;
};
