// The windows are designed in the system's default user-interface font at 8 points.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QFont>
#include <QFontMetrics>

inline QFont DesignFont(int pointSize = 8) {
    QFont font = QApplication::font();
    font.setPointSize(pointSize);
    return font;
}

// The design's pixel bounds were made for a narrower font than today's desktops have: a caption
// that would be clipped on its button is drawn a point or two smaller instead (never below 6).
inline void FitCaption(QAbstractButton* button) {
    QFont font = button->font();  // keeps its weight (the dialog's default button is bold)
    font.setPointSize(DesignFont().pointSize());
    const int room = button->width() - 10;  // the style's frame and margins
    while (font.pointSize() > 6 && QFontMetrics(font).horizontalAdvance(button->text()) > room)
        font.setPointSize(font.pointSize() - 1);
    button->setFont(font);
}
