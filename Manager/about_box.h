// The About box: the program's name and the version that the version library reports.
#pragma once

#include <QDialog>

#include "texts/component_model.h"

class QFrame;
class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

    texts::Component& Components() { return components_; }

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Copyright;
    QPushButton* OKButton;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // At every show, after the language texts: the version label and the box's place.
    void FormShow();
    void LayOutLabels();

    texts::Component components_;
};
