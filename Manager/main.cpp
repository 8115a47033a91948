// The manager's program entry: the four windows, created in their order, and the message loop.
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <exception>
#include <memory>

#include "about_box.h"
#include "connect_settings.h"
#include "log_form.h"
#include "main_form.h"
#include "program_icon.h"
#include "session_end.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The main window ends the program, even while the log window is still open.
    QApplication::setQuitOnLastWindowClosed(false);
    // Every window and message box of the program carries its icon.
    QApplication::setWindowIcon(manager::ProgramIcon());
    int status = 0;
    try {
        // Destroyed in the reverse order: the log window first, the main window last, whose
        // destructor stops the gateway.
        auto mainForm = std::make_unique<TMainForm>();
        auto aboutBox = std::make_unique<TAboutBox>();
        auto connectSettings = std::make_unique<TConnectSettings>();
        auto logForm = std::make_unique<TLogForm>();
        mainForm->SetWindows(aboutBox.get(), connectSettings.get(), logForm.get());
        QObject::connect(mainForm.get(), &TMainForm::Closed, &application, &QApplication::quit,
                         Qt::QueuedConnection);
        // The end of the session closes the program in order, as the user's close does.
        manager::WatchSessionEnd([form = QPointer<TMainForm>(mainForm.get())] {
            if (form != nullptr) {
                form->EndSession();
            } else {
                QApplication::quit();
            }
        });
        mainForm->show();
        QApplication::exec();
        mainForm->DetachLogWindow();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, "VR-620", QString::fromLocal8Bit(error.what()));
        // Scripts and service managers see that it did not end in order.
        status = 1;
    }
    return status;
}
