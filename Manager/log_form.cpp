#include "log_form.h"

#include <QListWidget>
#include <QShowEvent>
#include <QVBoxLayout>

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

    // The list starts at its designed 435 by 125; the window is taller by the line.
    resize(435, 125 + Label_DeviceStatus->heightForWidth(435));
    move(112, -1);
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
