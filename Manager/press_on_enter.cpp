#include "press_on_enter.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <QObject>

namespace manager {
namespace {

class EnterFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            key->modifiers() & ~Qt::KeypadModifier)
            return false;
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (button == nullptr || !button->isEnabled()) return false;
        button->click();
        return true;
    }
};

}  // namespace

void PressOnEnter(QAbstractButton* button) {
    // Owned by the button, so it goes with it.
    button->installEventFilter(new EnterFilter(button));
}

}  // namespace manager
