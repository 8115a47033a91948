// A pair of arrow buttons bound to an edit field that shows its position: the arrows, and the
// Up and Down keys in the edit, step the number within its limits. A number the user types
// counts once it is a whole number within the limits; any other text keeps the last position.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

class UpDownControl : public QWidget {
    Q_OBJECT

  public:
    explicit UpDownControl(QWidget* parent = nullptr);

    // The edit that shows the position; its Up and Down keys step the control.
    void SetBuddy(QLineEdit* buddy);
    void SetRange(int minimum, int maximum);

    // Takes over the number in the edit when it is valid, then returns the position.
    int Position();
    // Limits `position` to the range and shows it in the edit.
    void SetPosition(int position);
    // One step up (+1) or down (-1) from the current position, without wrapping around.
    void Step(int direction);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QToolButton* up_;
    QToolButton* down_;
    QLineEdit* buddy_ = nullptr;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
};
