#include "trend_chart.h"

#include <QChart>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>

#include "point_value.h"

namespace points {
namespace {

// An hour of samples at one a second.
constexpr qsizetype kMaxSamples = 3600;

}  // namespace

// Made with its chart: a view made without one makes a chart of its own, which a later
// setChart would leave behind.
TrendChart::TrendChart(QWidget* parent)
    : QChartView(new QChart, parent),
      series_(new QLineSeries),
      timeAxis_(new QDateTimeAxis),
      valueAxis_(new QValueAxis) {
    QChart* chart = this->chart();
    chart->legend()->hide();
    chart->addSeries(series_);
    timeAxis_->setFormat("HH:mm:ss");
    timeAxis_->setTickCount(5);
    valueAxis_->setLabelFormat("%.10g");
    chart->addAxis(timeAxis_, Qt::AlignBottom);
    chart->addAxis(valueAxis_, Qt::AlignLeft);
    series_->attachAxis(timeAxis_);
    series_->attachAxis(valueAxis_);
    chart->setMargins(QMargins(4, 4, 4, 4));
    setRenderHint(QPainter::Antialiasing);
    setMinimumHeight(180);
    Redraw();
}

void TrendChart::AddSample(std::uint16_t point, const QDateTime& when, double value) {
    QList<QPointF>& list = samples_[point];
    list.append(QPointF(static_cast<double>(when.toMSecsSinceEpoch()), value));
    if (list.size() > kMaxSamples) list.remove(0, list.size() - kMaxSamples);
    if (shown_ == point) Redraw();
}

void TrendChart::ShowPoint(std::optional<std::uint16_t> point) {
    if (shown_ == point) return;
    shown_ = point;
    Redraw();
}

void TrendChart::Forget(std::uint16_t point) {
    samples_.remove(point);
    if (shown_ == point) Redraw();
}

void TrendChart::Redraw() {
    const QList<QPointF> list = shown_ ? samples_.value(*shown_) : QList<QPointF>();
    series_->replace(list);
    chart()->setTitle(shown_
                          ? tr("Trend of point %1").arg(QString::fromStdString(PointText(*shown_)))
                          : tr("Trend: choose a point with a numeric value"));
    const QDateTime now = QDateTime::currentDateTime();
    if (list.isEmpty()) {
        timeAxis_->setRange(now.addSecs(-60), now);
        valueAxis_->setRange(0, 1);
        return;
    }
    const auto [low, high] = std::minmax_element(
        list.begin(), list.end(), [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
    // Whole numbers on the axis, also for a value that stays the same.
    const double pad = std::max(1.0, (high->y() - low->y()) * 0.1);
    valueAxis_->setRange(low->y() - pad, high->y() + pad);
    valueAxis_->applyNiceNumbers();
    const QDateTime first = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(list.first().x()));
    const QDateTime last = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(list.last().x()));
    timeAxis_->setRange(std::min(first, last.addSecs(-60)), last);
}

}  // namespace points
