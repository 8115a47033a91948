#include "about_box.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

#include "design_font.h"
#include "program_icon.h"
#include "version_text.h"

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowSystemMenuHint | Qt::CustomizeWindowHint),
      components_("AboutBox", texts::ComponentKind::Window, this) {
    setObjectName("AboutBox");
    setWindowTitle("Tietoja");
    setFont(DesignFont());
    setFixedSize(344, 161);

    Panel1 = new QFrame(this);
    Panel1->setGeometry(8, 8, 329, 113);
    // Raised inner bevel inside a lowered outer one.
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setMidLineWidth(1);
    Panel1->setAutoFillBackground(true);
    Panel1->setBackgroundRole(QPalette::Base);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setGeometry(8, 8, 32, 32);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(manager::ProgramIcon().pixmap(32, 32));

    ProductName =
        new QLabel(QString::fromUtf8("VR-620 konfigurointiohjelmiston pääsovellus"), Panel1);
    ProductName->move(88, 16);
    Version = new QLabel("Version 0.03", Panel1);
    Version->move(88, 40);
    Copyright =
        new QLabel(QString::fromUtf8("Tekijänoikeudet © 2024\u20132026 VR-620-projekti"), Panel1);
    Copyright->move(8, 80);

    OKButton = new QPushButton("OK", this);
    OKButton->setGeometry(135, 132, 75, 25);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    using texts::ComponentKind;
    components_.Add("Panel1", ComponentKind::Panel, Panel1);
    components_.Add("ProgramIcon", ComponentKind::Image, ProgramIcon);
    components_.Add("ProductName", ComponentKind::Label, ProductName);
    components_.Add("Version", ComponentKind::Label, Version);
    components_.Add("Copyright", ComponentKind::Label, Copyright);
    components_.Add("OKButton", ComponentKind::Button, OKButton);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) FormShow();
    QDialog::showEvent(event);
}

void TAboutBox::FormShow() {
    Version->setText(QString::fromUtf8("Version " + manager::ReadVersionText()));
    LayOutLabels();
    OKButton->setFocus();
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - frameGeometry().width()) / 2,
             area.y() + (area.height() - frameGeometry().height()) / 2);
    }
}

void TAboutBox::LayOutLabels() {
    // Labels size themselves to their texts, also to those that the language texts gave them. A
    // text too long for the panel wraps at its right edge, and the labels below make room.
    const auto place = [this](QLabel* label, int left, int top) {
        label->setWordWrap(true);
        const int room = Panel1->width() - 8 - left;
        const int width =
            std::min(room, QFontMetrics(label->font()).horizontalAdvance(label->text()) + 2);
        label->setGeometry(left, top, width, label->heightForWidth(width));
        return label->geometry().bottom() + 1;
    };
    const int belowName = place(ProductName, 88, 16);
    const int belowVersion = place(Version, 88, std::max(40, belowName + 8));
    place(Copyright, 8, std::max(80, belowVersion + 8));
}
