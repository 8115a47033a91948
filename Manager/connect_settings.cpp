#include "connect_settings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <string>

#include "design_font.h"
#include "modem_texts.h"
#include "press_on_enter.h"
#include "up_down_control.h"

namespace {

// The modem edits' texts as the device session takes them.
std::string ConvertEscapes(const QString& shown) {
    return modem_texts::ConvertEscapes(shown.toStdString());
}

QGroupBox* MakeGroup(const char* title, QRect bounds, QWidget* parent) {
    auto* group = new QGroupBox(QString::fromUtf8(title), parent);
    group->setGeometry(bounds);
    return group;
}

QLineEdit* MakeModemEdit(const char* text, QWidget* parent) {
    auto* edit = new QLineEdit(QString::fromUtf8(text), parent);
    edit->setGeometry(8, 24, 249, 21);
    edit->setEnabled(false);
    return edit;
}

}  // namespace

TConnectSettings::TConnectSettings(QWidget* parent)
    // A fixed dialog without any title-bar button: it ends through its own buttons.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      components_("ConnectSettings", texts::ComponentKind::Window, this) {
    setObjectName("ConnectSettings");
    setWindowTitle("Yhteysasetukset");
    setFont(DesignFont());
    setFixedSize(280, 285);

    ChannelGroup = MakeGroup("COM-portin valinta", {8, 2, 265, 47}, this);
    COMLabel = new QLabel("COM", ChannelGroup);
    COMLabel->setGeometry(14, 22, 24, 13);
    ChannelNumber = new QLineEdit("1", ChannelGroup);
    ChannelNumber->setGeometry(42, 18, 41, 21);
    ChannelSelect = new UpDownControl(ChannelGroup);
    ChannelSelect->setGeometry(83, 18, 15, 21);
    ChannelSelect->SetRange(1, 255);
    ChannelSelect->SetBuddy(ChannelNumber);
    ChannelSelect->SetPosition(1);

    ModemConnection = new QCheckBox("&Modeemiyhteys", this);
    ModemConnection->setGeometry(8, 56, 265, 17);

    InitGroup = MakeGroup("Modeemin alustuskomento", {8, 81, 265, 57}, this);
    IniStringEdit = MakeModemEdit(modem_texts::kDefaultInit, InitGroup);
    DialGroup = MakeGroup("Soittokomento ja puhelinnumero", {8, 137, 265, 57}, this);
    DialStringEdit = MakeModemEdit(modem_texts::kDefaultDial, DialGroup);
    HangupGroup = MakeGroup("Yhteyden katkaisukomento", {8, 193, 265, 57}, this);
    HangupStringEdit = MakeModemEdit(modem_texts::kDefaultHangup, HangupGroup);

    // No default button: Enter in a field does not end the dialog, but it presses the button
    // that has the focus.
    RestoreDefaults = new QPushButton("&Palauta oletusasetukset", this);
    RestoreDefaults->setGeometry(8, 256, 125, 25);
    RestoreDefaults->setAutoDefault(false);
    manager::PressOnEnter(RestoreDefaults);
    Close = new QPushButton("&Sulje", this);
    Close->setGeometry(148, 256, 125, 25);
    Close->setAutoDefault(false);
    manager::PressOnEnter(Close);
    QFont bold = Close->font();
    bold.setBold(true);
    Close->setFont(bold);
    connect(Close, &QPushButton::clicked, this, [this] { done(kResultClose); });

    // Tab order: the groups and buttons in their designed order, each group's controls within.
    setTabOrder(ChannelNumber, ModemConnection);
    setTabOrder(ModemConnection, IniStringEdit);
    setTabOrder(IniStringEdit, DialStringEdit);
    setTabOrder(DialStringEdit, HangupStringEdit);
    setTabOrder(HangupStringEdit, RestoreDefaults);
    setTabOrder(RestoreDefaults, Close);

    // Each field follows every change of its edit, whoever makes it: the user, the defaults
    // button or a language library that holds a text for the edit.
    connect(IniStringEdit, &QLineEdit::textChanged, this, [this] { UpdateIniString(); });
    connect(DialStringEdit, &QLineEdit::textChanged, this, [this] { UpdateDialString(); });
    connect(HangupStringEdit, &QLineEdit::textChanged, this, [this] { UpdateHangupString(); });
    connect(ModemConnection, &QCheckBox::clicked, this, [this] { ModemConnectionClick(); });
    connect(RestoreDefaults, &QPushButton::clicked, this, [this] { RestoreDefaultsClick(); });
    UpdateIniString();
    UpdateDialString();
    UpdateHangupString();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }

    // Owned in the order of the layout description, not of the visual parents.
    using texts::ComponentKind;
    components_.Add("InitGroup", ComponentKind::GroupBox, InitGroup);
    components_.Add("IniStringEdit", ComponentKind::Edit, IniStringEdit);
    components_.Add("DialGroup", ComponentKind::GroupBox, DialGroup);
    components_.Add("DialStringEdit", ComponentKind::Edit, DialStringEdit);
    components_.Add("HangupGroup", ComponentKind::GroupBox, HangupGroup);
    components_.Add("HangupStringEdit", ComponentKind::Edit, HangupStringEdit);
    components_.Add("RestoreDefaults", ComponentKind::Button, RestoreDefaults);
    components_.Add("Close", ComponentKind::Button, Close);
    components_.Add("ChannelGroup", ComponentKind::GroupBox, ChannelGroup);
    components_.Add("COMLabel", ComponentKind::Label, COMLabel);
    components_.Add("ChannelNumber", ComponentKind::Edit, ChannelNumber);
    components_.Add("ChannelSelect", ComponentKind::UpDown, ChannelSelect);
    components_.Add("ModemConnection", ComponentKind::CheckBox, ModemConnection);
}

TConnectSettings::~TConnectSettings() = default;

void TConnectSettings::showEvent(QShowEvent* event) {
    // After the language texts, which may have changed the captions.
    LayOutCaptions();
    QDialog::showEvent(event);
}

void TConnectSettings::LayOutCaptions() {
    // "COM" ends a little before its field, however wide the font draws it.
    const QSize label = COMLabel->sizeHint();
    COMLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    COMLabel->setGeometry(ChannelNumber->x() - 6 - label.width(),
                          ChannelNumber->y() + (ChannelNumber->height() - label.height()) / 2,
                          label.width(), label.height());

    // The two buttons keep the dialog's font and grow to their captions, each at least as wide
    // as designed: the defaults button into the gap between them, the close button towards the
    // defaults button, and both within the dialog's margins.
    constexpr int kLeft = 8;
    constexpr int kRight = 273;
    constexpr int kGap = 6;
    constexpr int kDesigned = 125;
    for (QPushButton* button : {RestoreDefaults, Close}) {
        QFont font = button->font();  // keeps its weight (the close button is bold)
        font.setPointSize(DesignFont().pointSize());
        button->setFont(font);
    }
    const int restoreNeeds = RestoreDefaults->sizeHint().width();
    const int closeNeeds = Close->sizeHint().width();
    int closeWidth = std::max(kDesigned, closeNeeds);
    const int restoreWidth =
        std::min(std::max(kDesigned, restoreNeeds), kRight - kLeft - kGap - closeNeeds);
    closeWidth = std::min(closeWidth, kRight - kLeft - kGap - restoreWidth);
    RestoreDefaults->setGeometry(kLeft, 256, restoreWidth, 25);
    Close->setGeometry(kRight - closeWidth, 256, closeWidth, 25);
    // Only a caption that even this leaves too long is drawn smaller.
    FitCaption(RestoreDefaults);
    FitCaption(Close);
}

void TConnectSettings::UpdateIniString() {
    IniString = ConvertEscapes(IniStringEdit->text());
}

void TConnectSettings::UpdateDialString() {
    DialString = ConvertEscapes(DialStringEdit->text());
}

void TConnectSettings::UpdateHangupString() {
    HangupString = ConvertEscapes(HangupStringEdit->text());
}

std::uint8_t TConnectSettings::GetChannelIndex() {
    return static_cast<std::uint8_t>(ChannelSelect->Position() - 1);
}

void TConnectSettings::SetChannelIndex(std::uint8_t channel) {
    ChannelSelect->SetPosition(channel + 1);
}

bool TConnectSettings::GetModemConnection() const {
    return ModemConnection->isChecked();
}

void TConnectSettings::ModemConnectionClick() {
    const bool modem = ModemConnection->isChecked();
    IniStringEdit->setEnabled(modem);
    DialStringEdit->setEnabled(modem);
    HangupStringEdit->setEnabled(modem);
}

void TConnectSettings::RestoreDefaultsClick() {
    IniStringEdit->setText(modem_texts::kDefaultInit);
    DialStringEdit->setText(modem_texts::kDefaultDial);
    HangupStringEdit->setText(modem_texts::kDefaultHangup);
    UpdateIniString();
    UpdateDialString();
    UpdateHangupString();
    ChannelSelect->SetPosition(1);
}
