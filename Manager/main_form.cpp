#include "main_form.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <QWidget>

#include "about_box.h"
#include "config_file.h"
#include "design_font.h"
#include "texts/language_texts.h"

namespace {

QToolButton* MakeBitBtn(const char* caption, QRect bounds, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(QString::fromUtf8(caption));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(QSize(24, 24));
    button->setGeometry(bounds);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint),
      components_("MainForm", texts::ComponentKind::Window, this) {
    setObjectName("MainForm");
    setWindowTitle("VR-620");
    setFont(DesignFont());

    auto* client = new QWidget(this);
    client->setFixedSize(115, 209);
    setCentralWidget(client);

    // The label lies under the connection settings button and shows only when it is hidden.
    Label_RemoteConnection = new QLabel(QString::fromUtf8("Etäyhteys"), client);
    Label_RemoteConnection->setGeometry(1, 17, 103, 25);
    Label_RemoteConnection->setAlignment(Qt::AlignCenter);
    Label_RemoteConnection->setFont(DesignFont(12));
    BitBtn_ConnectionSettings = MakeBitBtn("Yhteysasetukset", {1, 2, 113, 50}, client);
    BitBtn_Configure = MakeBitBtn("Konfigurointi", {1, 54, 113, 50}, client);
    BitBtn_TimePrograms = MakeBitBtn("Aikaohjelmat", {1, 106, 113, 50}, client);
    BitBtn_Settings = MakeBitBtn("Asetusarvot", {1, 158, 113, 50}, client);
    SaveTextsButton = new QPushButton("Talleta", client);
    SaveTextsButton->setGeometry(48, 0, 59, 17);
#ifdef VR620_SHOW_SAVE_TEXTS
    SaveTextsButton->setVisible(true);
#else
    SaveTextsButton->setVisible(false);
#endif
    setTabOrder(BitBtn_Configure, BitBtn_Settings);
    setTabOrder(BitBtn_Settings, BitBtn_TimePrograms);
    setTabOrder(BitBtn_TimePrograms, BitBtn_ConnectionSettings);
    setTabOrder(BitBtn_ConnectionSettings, SaveTextsButton);

    MainMenu1 = menuBar();
    MenuItem_Open = MainMenu1->addMenu("Avaa");
    MenuItem_ConnectionSettings = MenuItem_Open->addAction("Yhteysasetukset");
    MenuItem_Configure = MenuItem_Open->addAction("Konfigurointi");
    MenuItem_TimePrograms = MenuItem_Open->addAction("Aikaohjelmat");
    MenuItem_Settings = MenuItem_Open->addAction("Asetusarvot");
    MenuItem_Log = MenuItem_Open->addAction("Yhteysloki");
    MenuItem_Separator = MainMenu1->addAction(QString());
    MenuItem_Separator->setEnabled(false);
    MenuItem_Help = MainMenu1->addMenu("Ohje");
    MenuItem_About = MenuItem_Help->addAction("Tietoa ohjelmasta");
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(MenuItem_About, &QAction::triggered, this, &TMainForm::MenuItem_AboutClick);

    using texts::ComponentKind;
    components_.Add("Label_RemoteConnection", ComponentKind::Label, Label_RemoteConnection);
    components_.Add("BitBtn_Configure", ComponentKind::Button, BitBtn_Configure);
    components_.Add("BitBtn_Settings", ComponentKind::Button, BitBtn_Settings);
    components_.Add("BitBtn_TimePrograms", ComponentKind::Button, BitBtn_TimePrograms);
    components_.Add("BitBtn_ConnectionSettings", ComponentKind::Button, BitBtn_ConnectionSettings);
    components_.Add("SaveTextsButton", ComponentKind::Button, SaveTextsButton);
    components_.Add("MainMenu1", ComponentKind::MainMenu, MainMenu1);
    components_.Add("MenuItem_Open", ComponentKind::MenuItem, MenuItem_Open->menuAction());
    components_.Add("MenuItem_ConnectionSettings", ComponentKind::MenuItem,
                    MenuItem_ConnectionSettings);
    components_.Add("MenuItem_Configure", ComponentKind::MenuItem, MenuItem_Configure);
    components_.Add("MenuItem_TimePrograms", ComponentKind::MenuItem, MenuItem_TimePrograms);
    components_.Add("MenuItem_Settings", ComponentKind::MenuItem, MenuItem_Settings);
    components_.Add("MenuItem_Log", ComponentKind::MenuItem, MenuItem_Log);
    components_.Add("", ComponentKind::MenuItem, MenuItem_Separator);
    components_.Add("MenuItem_Help", ComponentKind::MenuItem, MenuItem_Help->menuAction());
    components_.Add("MenuItem_About", ComponentKind::MenuItem, MenuItem_About);

    move(0, 0);
}

TMainForm::~TMainForm() = default;

void TMainForm::SetWindows(TAboutBox* aboutBox, TConnectSettings* connectSettings,
                           TLogForm* logForm) {
    aboutBox_ = aboutBox;
    connectSettings_ = connectSettings;
    logForm_ = logForm;
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous() && !shown_) {
        shown_ = true;
        FormShow();
    }
}

void TMainForm::FormShow() {
    if (Language.empty())
        Language = manager::ConfigFile().ReadText("COMMON", "DefaultLanguage", "FIN");
    texts::LanguageTexts(Language).ApplyTexts(components_);
}

void TMainForm::MenuItem_AboutClick() {
    if (aboutBox_ == nullptr) return;
    texts::LanguageTexts(Language).ApplyTexts(aboutBox_->Components());
    aboutBox_->exec();
}
