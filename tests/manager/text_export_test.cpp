// The text export: every replaceable text of the four windows under its key, in walk order.
#include <QLineEdit>
#include <QListWidget>
#include <filesystem>

#include "diagnostics/assert_report.h"
#include "log_window_bridge.h"
#include "log_writer.h"
#include "shell_fixture.h"
#include "texts/text_export.h"

namespace {

namespace fs = std::filesystem;

class TextExportTest : public vr620_test::ManagerTest {
  protected:
    TextExportTest() {
        windows.mainForm.SetWindows(&windows.aboutBox, &windows.connectSettings, &windows.logForm);
    }
    fs::path ExportFile() const { return folder.Path() / "VR620Manager.TXT"; }

    vr620_test::Windows windows;
};

TEST_F(TextExportTest, EightySevenEntriesInWindowOrderWithTheCurrentTexts) {
    std::size_t counts[4];
    std::string expected;
    const auto all = windows.All();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto entries = texts::ExportEntries(*all[i]);
        counts[i] = entries.size();
        for (const std::string& entry : entries) expected += entry;
    }
    EXPECT_EQ(counts[0], 30u);
    EXPECT_EQ(counts[1], 27u);
    EXPECT_EQ(counts[2], 17u);
    EXPECT_EQ(counts[3], 13u);

    windows.mainForm.SaveTextsButton->click();
    const std::string file = vr620_test::ReadFile(ExportFile());
    EXPECT_EQ(file, expected);
    EXPECT_TRUE(
        file.starts_with("MainForm->Caption=VR-620\r\nMainForm->Hint=\r\n"
                         "MainForm::Label_RemoteConnection->Caption=Et\xC3\xA4yhteys\r\n"
                         "MainForm::Label_RemoteConnection->Hint=\r\n"
                         "MainForm::BitBtn_Configure->Caption=&Konfigurointi\r\n"))
        << file.substr(0, 200);
    // The empty log list: its key line and one empty line; the status line as it reads now,
    // then its words.
    EXPECT_NE(
        file.find("LogForm::ListBox_Log->Hint=\r\nLogForm::ListBox_Log->Items->Text=\r\n\r\n"
                  "LogForm::Label_DeviceStatus->Caption=Ei yhteyspalvelinta t\xC3\xA4ll\xC3\xA4 "
                  "tietokoneella\r\nLogForm::Label_DeviceStatus->Hint=\r\n"
                  "LogForm::Phrase_DeviceState->Caption=Laitteen tila\r\n"),
        std::string::npos);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(TextExportTest, LogLinesAndTheDialogsCurrentTextsAndASecondExportReplacesTheFirst) {
    windows.logForm.AddLogLine("first line");
    windows.logForm.AddLogLine("second line");
    windows.connectSettings.IniStringEdit->setText("ATZ\\r");
    windows.mainForm.SaveTextsButtonClick();
    std::string file = vr620_test::ReadFile(ExportFile());
    EXPECT_NE(file.find("LogForm::ListBox_Log->Items->Text=\r\nfirst line\r\nsecond line\r\n\r\n"
                        "LogForm::Label_DeviceStatus->Caption="),
              std::string::npos);
    EXPECT_NE(file.find("\r\nConnectSettings::IniStringEdit->Text=ATZ\\r\r\n"), std::string::npos);

    // A longer file first, then a shorter export: nothing of the first stays behind.
    vr620_test::WriteFile(ExportFile(), std::string(100000, 'x'));
    windows.logForm.ListBox_Log->clear();
    windows.mainForm.SaveTextsButtonClick();
    file = vr620_test::ReadFile(ExportFile());
    EXPECT_EQ(file.find('x' + std::string(20, 'x')), std::string::npos);
    EXPECT_EQ(file.find("first line"), std::string::npos);
    EXPECT_TRUE(file.starts_with("MainForm->Caption=VR-620\r\n"));
}

TEST_F(TextExportTest, AFileThatCannotBeCreatedIsReportedAndNothingIsWritten) {
    // A folder in the file's place.
    fs::create_directory(folder.Path() / "VR620Manager.TXT");
    answer = manager::BoxAnswer::No;
    windows.mainForm.SaveTextsButtonClick();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("hFile != NULL"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(folder.Path() / "VR620Manager.TXT"));
}

TEST_F(TextExportTest, TheButtonIsHiddenAsDesigned) {
#ifdef VR620_SHOW_SAVE_TEXTS
    EXPECT_FALSE(windows.mainForm.SaveTextsButton->isHidden());
#else
    EXPECT_TRUE(windows.mainForm.SaveTextsButton->isHidden());
#endif
}

}  // namespace
