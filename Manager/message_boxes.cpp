#include "message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <utility>

namespace manager {
namespace {

MessageBoxAnswerer& Answerer() {
    static MessageBoxAnswerer answerer;
    return answerer;
}

QMessageBox::StandardButton ToButton(BoxAnswer answer) {
    switch (answer) {
        case BoxAnswer::Yes:
            return QMessageBox::Yes;
        case BoxAnswer::No:
            return QMessageBox::No;
        case BoxAnswer::Ok:
            break;
    }
    return QMessageBox::Ok;
}

BoxAnswer ShowQtBox(const MessageBoxRequest& request) {
    // The box belongs to whatever window the user is working in, as a system box would.
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) owner = QApplication::activeWindow();
    const bool yesNo = request.buttons == BoxButtons::YesNo;
    QMessageBox box(
        request.icon == BoxIcon::Question ? QMessageBox::Question : QMessageBox::Critical,
        QString::fromUtf8(request.caption), QString::fromUtf8(request.text),
        yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(ToButton(request.defaultAnswer));
    const int result = box.exec();
    if (!yesNo) return BoxAnswer::Ok;
    // Closing the box by other means than its buttons counts as No.
    return result == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
}

}  // namespace

BoxAnswer ShowMessageBox(const MessageBoxRequest& request) {
    if (Answerer()) return Answerer()(request);
    return ShowQtBox(request);
}

MessageBoxAnswerer SetMessageBoxAnswerer(MessageBoxAnswerer answerer) {
    return std::exchange(Answerer(), std::move(answerer));
}

}  // namespace manager
