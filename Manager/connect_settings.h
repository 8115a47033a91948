// The connection settings dialog: the COM port, the modem switch and the modem's three command
// strings. Built once at start and kept, so that the user's choices last from one showing to
// the next.
#pragma once

#include <QDialog>
#include <cstdint>
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
    explicit TConnectSettings(QWidget* parent = nullptr);
    ~TConnectSettings() override;

  protected:
    void showEvent(QShowEvent* event) override;

  public:
    // The ends of a showing: "Sulje" gives kResultClose, the close command (Escape) 0.
    static constexpr int kResultClose = 1;

    // The fields take the converted texts of their edits: backslash r becomes CR, then
    // backslash n becomes LF; nothing else changes.
    void UpdateIniString();
    void UpdateDialString();
    void UpdateHangupString();
    // The zero-based channel: the COM number minus one. A typed number counts only when it is
    // whole and from 1 to 255; otherwise the last valid one does.
    std::uint8_t GetChannelIndex();
    void SetChannelIndex(std::uint8_t channel);
    bool GetModemConnection() const;

    // Handlers.
    void ModemConnectionClick();
    void RestoreDefaultsClick();

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
    // Sizes the COM label and the two buttons to their captions.
    void LayOutCaptions();

    texts::Component components_;
};
