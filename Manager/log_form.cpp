#include "log_form.h"

#include <QListWidget>
#include <QShowEvent>
#include <QVBoxLayout>

#include "design_font.h"
#include "log_window_bridge.h"
#include "window_placement.h"

TLogForm::TLogForm(QWidget* parent)
    : QWidget(parent, Qt::Window), components_("LogForm", texts::ComponentKind::Window, this) {
    setObjectName("LogForm");
    setWindowTitle("Yhteysloki");
    setFont(DesignFont());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    // The list fills the client area and follows the window's size.
    ListBox_Log = new QListWidget(this);
    ListBox_Log->setUniformItemSizes(true);
    ListBox_Log->setSortingEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ListBox_Log);

    resize(435, 125);
    move(112, -1);

    components_.Add("ListBox_Log", texts::ComponentKind::ListBox, ListBox_Log);
}

TLogForm::~TLogForm() {
    // No writer may reach a window that is going away.
    auto& bridge = manager::LogWindowBridge::Instance();
    if (bridge.IsAttachedTo(this)) bridge.Detach();
}

void TLogForm::AddLogLine(const QString& line) {
    if (ListBox_Log->count() >= kMaxLines) delete ListBox_Log->takeItem(0);
    ListBox_Log->addItem(line);
    ListBox_Log->scrollToBottom();
}

void TLogForm::AddLogLine(const char* line) {
    AddLogLine(QString::fromUtf8(line));
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
