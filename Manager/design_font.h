// The windows are designed in the system's default user-interface font at 8 points.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QFont>

inline QFont DesignFont(int pointSize = 8) {
    QFont font = QApplication::font();
    font.setPointSize(pointSize);
    return font;
}

// A caption that would be clipped on its button even at the button's widest is drawn a point or
// two smaller instead (never below 6).
inline void FitCaption(QAbstractButton* button) {
    QFont font = button->font();  // keeps its weight (the dialog's close button is bold)
    while (font.pointSize() > 6 && button->sizeHint().width() > button->width()) {
        font.setPointSize(font.pointSize() - 1);
        button->setFont(font);
    }
}
