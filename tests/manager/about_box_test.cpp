// The About box and its version text from the version library.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "manager_fixture.h"

namespace {

class AboutBoxTest : public vr620_test::ManagerTest {
  protected:
    // The label after one showing of a box.
    std::string VersionShown() {
        TAboutBox box;
        box.show();
        const std::string text = box.Version->text().toStdString();
        box.hide();
        return text;
    }
};

TEST_F(AboutBoxTest, ShowsThePlaceholderWhenTheLibraryCannotAnswer) {
    // No library; one of another name does not stand in for it.
    Install(TEST_VERSION_OK, "libVR620VersionInfo.so");
    EXPECT_EQ(VersionShown(), "Version ?.?.?.?");
    Install(TEST_VERSION_WITHOUT_FUNCTION, "VR620VersionInfo.so");
    EXPECT_EQ(VersionShown(), "Version ?.?.?.?");
    Install(TEST_VERSION_FAIL, "VR620VersionInfo.so");
    EXPECT_EQ(VersionShown(), "Version ?.?.?.?");  // whatever it wrote
    EXPECT_TRUE(boxes.empty());
}

TEST_F(AboutBoxTest, ShowsTheVersionThatTheLibraryReports) {
    Install(TEST_VERSION_OK, "VR620VersionInfo.so");
    EXPECT_EQ(VersionShown(), "Version 1.2.3.4");
    std::filesystem::remove(folder / "VR620VersionInfo.so");
    Install(VR620_VERSION_LIBRARY, "VR620VersionInfo.so");
    EXPECT_EQ(VersionShown(), "Version " VR620_PROJECT_VERSION);
}

TEST_F(AboutBoxTest, EnterClosesTheBoxWithOk) {
    TAboutBox box;
    box.show();
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST_F(AboutBoxTest, TheMenuShowsItModallyWithTheLanguageTextsAndTheVersionOnTop) {
    Install(VR620_ENGLISH_LIBRARY, "VR620Manager_ENG.so");
    Install(TEST_VERSION_OK, "VR620VersionInfo.so");
    vr620_test::Windows windows;
    windows.mainForm.SetWindows(&windows.aboutBox, &windows.connectSettings, &windows.logForm);
    windows.mainForm.Language = "ENG";

    std::string productShown;
    std::string versionShown;
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        wasModal = QApplication::activeModalWidget() == &windows.aboutBox;
        productShown = windows.aboutBox.ProductName->text().toStdString();
        versionShown = windows.aboutBox.Version->text().toStdString();
        QTest::keyClick(&windows.aboutBox, Qt::Key_Return);
    });
    // Never left waiting: the box goes away after a while even if the key went astray.
    QTimer::singleShot(10000, &windows.aboutBox, &QDialog::reject);
    windows.mainForm.MenuItem_AboutClick();

    EXPECT_TRUE(wasModal);
    EXPECT_EQ(productShown, "VR-620 configuration suite main program");
    EXPECT_EQ(versionShown, "Version 1.2.3.4");
    EXPECT_EQ(windows.aboutBox.result(), QDialog::Accepted);
}

}  // namespace
