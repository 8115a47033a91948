// A line of vr620-points' status bar: plain text (a reason from the gateway or a typed value may
// look like markup), wrapped where it is long, hidden when empty, and exactly as tall as its
// words need at the width it has. The main window sizes its status bar by size hints, for which
// a wrapping label guesses a narrow width and so too many lines.
#pragma once

#include <QLabel>

namespace points {

class StatusLine : public QLabel {
  public:
    explicit StatusLine(QWidget* parent = nullptr);
    void Show(const QString& text);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Fit();
    bool fitting_ = false;
};

}  // namespace points
