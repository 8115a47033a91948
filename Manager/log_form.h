// The connection log window: one list of the most recent log lines. Closing it only hides it.
#pragma once

#include <QWidget>

#include "texts/component_model.h"

class QListWidget;

class TLogForm : public QWidget {
    Q_OBJECT

  public:
    explicit TLogForm(QWidget* parent = nullptr);
    ~TLogForm() override;

    texts::Component& Components() { return components_; }

    QListWidget* ListBox_Log;

  private:
    texts::Component components_;
};
