// Enter presses the focused button, as Space does: Qt's tool buttons, and push buttons that are
// not a dialog's default, ignore Enter by themselves.
#pragma once

class QAbstractButton;

namespace manager {

// From now on Enter and Return on `button`, while it has the focus, click it.
void PressOnEnter(QAbstractButton* button);

}  // namespace manager
