// The connection settings dialog: the COM port, the modem switch and the modem's three command
// strings. Built once at start and kept, so that the user's choices last from one showing to
// the next.
#pragma once

#include <QDialog>
#include <string>

#include "texts/component_model.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class UpDownControl;

class TConnectSettings : public QDialog {
    Q_OBJECT

  public:
    // What the modem edits show at first and after "Palauta oletusasetukset".
    static constexpr char kDefaultIniString[] = "ATE0S0=1\\r;AT&W\\r";
    static constexpr char kDefaultDialString[] = "ATDT 12345678\\r";
    static constexpr char kDefaultHangupString[] = ";+++;ATH\\r";

    explicit TConnectSettings(QWidget* parent = nullptr);
    ~TConnectSettings() override;

    texts::Component& Components() { return components_; }

    // The modem's command lists as the device session takes them.
    std::string IniString;
    std::string DialString;
    std::string HangupString;

    QGroupBox* ChannelGroup;
    QLabel* COMLabel;
    QLineEdit* ChannelNumber;
    UpDownControl* ChannelSelect;
    QCheckBox* ModemConnection;
    QGroupBox* InitGroup;
    QLineEdit* IniStringEdit;
    QGroupBox* DialGroup;
    QLineEdit* DialStringEdit;
    QGroupBox* HangupGroup;
    QLineEdit* HangupStringEdit;
    QPushButton* RestoreDefaults;
    QPushButton* Close;

  private:
    texts::Component components_;
};
