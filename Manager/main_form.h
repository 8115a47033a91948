// The main window: four large buttons for the client programs and the connection settings, and
// the menu with the same commands plus the connection log and the About box.
#pragma once

#include <QMainWindow>
#include <string>

#include "texts/component_model.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QToolButton;
class TAboutBox;
class TConnectSettings;
class TLogForm;

class TMainForm : public QMainWindow {
    Q_OBJECT

  public:
    static constexpr int kDefaultPort = 7105;

    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The program's other windows, created after this one.
    void SetWindows(TAboutBox* aboutBox, TConnectSettings* connectSettings, TLogForm* logForm);

    texts::Component& Components() { return components_; }

    // Read by the launcher and the text loader.
    std::string Language;
    int Port = kDefaultPort;
    std::string Host = "localhost";
    bool ServerRunning = false;

    QLabel* Label_RemoteConnection;
    QToolButton* BitBtn_Configure;
    QToolButton* BitBtn_Settings;
    QToolButton* BitBtn_TimePrograms;
    QToolButton* BitBtn_ConnectionSettings;
    QPushButton* SaveTextsButton;
    QMenuBar* MainMenu1;
    QMenu* MenuItem_Open;
    QAction* MenuItem_ConnectionSettings;
    QAction* MenuItem_Configure;
    QAction* MenuItem_TimePrograms;
    QAction* MenuItem_Settings;
    QAction* MenuItem_Log;
    QAction* MenuItem_Separator;  // the unnamed top-level item between "Avaa" and "Ohje"
    QMenu* MenuItem_Help;
    QAction* MenuItem_About;

    // Applies the language texts to the About box, then shows it modally.
    void MenuItem_AboutClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // Runs once, when the window is first shown.
    void FormShow();

    texts::Component components_;
    TAboutBox* aboutBox_ = nullptr;
    TConnectSettings* connectSettings_ = nullptr;
    TLogForm* logForm_ = nullptr;
    bool shown_ = false;
};
