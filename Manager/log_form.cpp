#include "log_form.h"

#include <QListWidget>
#include <QVBoxLayout>

#include "design_font.h"

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

TLogForm::~TLogForm() = default;
