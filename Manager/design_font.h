// The windows are designed in the system's default user-interface font at 8 points.
#pragma once

#include <QApplication>
#include <QFont>

inline QFont DesignFont(int pointSize = 8) {
    QFont font = QApplication::font();
    font.setPointSize(pointSize);
    return font;
}
