#include "log_form.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "design_font.h"
#include "device_status_bridge.h"
#include "device_status_line.h"
#include "log_window_bridge.h"
#include "window_placement.h"

TLogForm::TLogForm(QWidget* parent)
    : QWidget(parent, Qt::Window), components_("LogForm", texts::ComponentKind::Window, this) {
    setObjectName("LogForm");
    setWindowTitle("Yhteysloki");
    setFont(DesignFont());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    // The list fills the client area above the status line and follows the window's size; the
    // status line keeps to the bottom edge, as tall as its text (a second row when it wraps).
    ListBox_Log = new QListWidget(this);
    ListBox_Log->setUniformItemSizes(true);
    ListBox_Log->setSortingEnabled(false);
    components_.Add("ListBox_Log", texts::ComponentKind::ListBox, ListBox_Log);
    Label_DeviceStatus = new manager::DeviceStatusLine(this, components_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ListBox_Log, 1);
    layout->addWidget(Label_DeviceStatus);
    // Tab goes from the list to the line.
    setTabOrder(ListBox_Log, Label_DeviceStatus);

    // The list starts 125 high, and wide enough for a long line of the log whole (the designed
    // 435 pixels cut a command's line off), within the screen; the window is taller by the line.
    const int width = ListWidthForLongLines();
    resize(width, 125 + Label_DeviceStatus->heightForWidth(width));
    move(112, -1);
}

int TLogForm::ListWidthForLongLines() const {
    static constexpr const char* kLongLine =
        "31.12.2026 23:59:59  Client on 1023 from 255.255.255.255 refused, address not allowed! "
        "Connection closed...";
    const int text = ListBox_Log->fontMetrics().horizontalAdvance(QString::fromLatin1(kLongLine));
    // The frame on both sides, the item's own margins, and the vertical scroll bar.
    const int chrome = 2 * ListBox_Log->frameWidth() + 8 +
                       ListBox_Log->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    int width = std::max(kDesignedWidth, text + chrome);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        width =
            std::min(width, std::max(kDesignedWidth, screen->availableGeometry().width() - 112));
    return width;
}

TLogForm::~TLogForm() {
    // No writer may reach a window that is going away.
    auto& bridge = manager::LogWindowBridge::Instance();
    if (bridge.IsAttachedTo(this)) bridge.Detach();
    auto& status = manager::DeviceStatusBridge::Instance();
    if (status.IsAttachedTo(this)) status.Detach();
}

void TLogForm::AddLogLine(const QString& line) {
    if (ListBox_Log->count() >= kMaxLines) delete ListBox_Log->takeItem(0);
    ListBox_Log->addItem(line);
    ListBox_Log->scrollToBottom();
}

void TLogForm::AddLogLine(const char* line) {
    AddLogLine(QString::fromUtf8(line));
}

void TLogForm::ShowDeviceStatus(const std::optional<gateway::DeviceStatus>& status) {
    Label_DeviceStatus->ShowStatus(status);
}

void TLogForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Beside the main window, its title bar on the screen; later showings keep where the user
    // moved it.
    if (!event->spontaneous() && !placed_) {
        placed_ = true;
        manager::PlaceFrameOnceShown(this, {112, 0});
    }
    // A hidden list has no layout yet; lines that came meanwhile are shown from the newest.
    ListBox_Log->scrollToBottom();
}
