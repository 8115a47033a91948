// The window of vr620-points: a table of data points (number, value in hexadecimal, as an
// unsigned and a signed big-endian integer, as text), reading one or all, writing a value that
// is checked before it goes, watching chosen points every N seconds with a change highlighted,
// and the trend of the current point. Every outcome is said in words in the window, and only
// while it holds: the status bar shows the connection's state and, below it, the latest message.
#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QTimer>
#include <cstdint>
#include <optional>
#include <string>

#include "gateway_link.h"

class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace points {

class StatusLine;
class TrendChart;

class PointsWindow : public QMainWindow {
    Q_OBJECT

  public:
    enum Column {
        kPointColumn,
        kNameColumn,
        kHexColumn,
        kUnsignedColumn,
        kSignedColumn,
        kTextColumn,
        kWatchColumn,
        kStatusColumn,
        kColumnCount
    };

    // The window works through `link`, which it does not own; it starts the link itself.
    explicit PointsWindow(GatewayLink& link, QWidget* parent = nullptr);

    // Adds a point at the end of the table, unless it is there already (false then).
    bool AddPoint(std::uint16_t point, const QString& name = {}, bool watch = false);
    // Replaces the table with the list in a CSV file; false, with the reason in the window.
    bool LoadList(const QString& path);
    bool SaveList(const QString& path);
    // The row of `point`, or -1.
    int RowOf(std::uint16_t point) const;

    void ReadAll();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildWidgets();
    void BuildMenus();
    void AddFromEdit();
    void RemoveSelected();
    void ReadSelected();
    void WriteCurrent();
    void OpenListDialog();
    void SaveListDialog(bool askName);
    void ReadPoint(std::uint16_t point);
    void WatchTick();
    void UpdateWatchTimer();
    void OnState(GatewayLink::State state, const QString& text);
    void OnAnswered(quint16 code, quint16 point, bool ok, const QByteArray& data,
                    const QString& reason);
    void OnFailed(quint16 code, quint16 point, const QString& reason);
    void SayRefused(int row, std::uint16_t point, bool write, const QString& reason);
    void ShowValue(int row, const QByteArray& data);
    void SetStatus(int row, const QString& text);
    // A message about `point` holds until that point is read or its request is not done.
    void Say(const QString& text, std::optional<std::uint16_t> point = std::nullopt);
    void Unsay(std::optional<std::uint16_t> point = std::nullopt);
    std::optional<std::uint16_t> CurrentPoint() const;

    GatewayLink& link_;
    QTableWidget* table_ = nullptr;
    QLineEdit* pointEdit_ = nullptr;
    QLineEdit* valueEdit_ = nullptr;
    QSpinBox* intervalBox_ = nullptr;
    StatusLine* connectionLabel_ = nullptr;
    StatusLine* messageLabel_ = nullptr;
    TrendChart* chart_ = nullptr;
    QTimer watchTimer_;
    QString listPath_;
    std::optional<std::uint16_t> messagePoint_;
    std::optional<GatewayLink::State> linkState_;
    bool connected_ = false;
};

}  // namespace points
