#include "status_line.h"

namespace points {

StatusLine::StatusLine(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
}

void StatusLine::Show(const QString& text) {
    setText(text);
    setVisible(!text.isEmpty());
    Fit();
}

void StatusLine::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Fit();
}

void StatusLine::Fit() {
    if (fitting_) return;  // setting the height resizes
    fitting_ = true;
    // A label's height for a width is never less than its minimum height.
    setMinimumHeight(0);
    setFixedHeight(heightForWidth(width()));
    fitting_ = false;
}

}  // namespace points
