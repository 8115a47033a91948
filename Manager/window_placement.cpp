#include "window_placement.h"

#include <QMetaObject>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace manager {

void PlaceFrameOnceShown(QWidget* window, QPoint offset) {
    // Queued: the window is mapped when the event loop runs again. A frame position lets the
    // window manager do the sums with the frame it draws.
    QMetaObject::invokeMethod(
        window,
        [window, offset] {
            QWindow* handle = window->windowHandle();
            const QScreen* screen = window->screen();
            if (handle == nullptr || screen == nullptr) return;
            handle->setFramePosition(screen->availableGeometry().topLeft() + offset);
        },
        Qt::QueuedConnection);
}

}  // namespace manager
