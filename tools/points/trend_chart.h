// The trend of one numeric point over time: its value (read as an unsigned big-endian integer)
// against the clock, the last hour of samples of each point kept.
#pragma once

#include <QChartView>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPointF>
#include <cstdint>
#include <optional>

class QLineSeries;
class QDateTimeAxis;
class QValueAxis;

namespace points {

class TrendChart : public QChartView {
    Q_OBJECT

  public:
    explicit TrendChart(QWidget* parent = nullptr);

    // A read of `point` at `when`; a value that is no integer (none, or over 8 bytes) breaks
    // nothing and adds nothing.
    void AddSample(std::uint16_t point, const QDateTime& when, double value);
    // The point whose trend is shown; nothing shown for no point.
    void ShowPoint(std::optional<std::uint16_t> point);
    void Forget(std::uint16_t point);

  private:
    void Redraw();

    QLineSeries* series_;
    QDateTimeAxis* timeAxis_;
    QValueAxis* valueAxis_;
    std::optional<std::uint16_t> shown_;
    QHash<std::uint16_t, QList<QPointF>> samples_;
};

}  // namespace points
