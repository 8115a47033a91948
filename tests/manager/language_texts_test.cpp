// Laying the language texts over the windows, and the numbered message texts.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QToolButton>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>
#include "up_down_control.h"

#include "manager_fixture.h"
#include "texts/language_texts.h"

namespace {

using texts::LanguageTexts;
using vr620_test::Keys;
using vr620_test::Snapshot;
using vr620_test::Windows;

// What the recording language library was asked, and what it answers.
std::vector<std::string> g_askedKeys;
std::map<std::string, std::string> g_answers;

}  // namespace

extern "C" __attribute__((visibility("default"))) const char* TestLanguageAnswer(
    const char* key, std::uint32_t* context) {
    g_askedKeys.emplace_back(key);
    ++*context;  // the library may keep state there; the loader never reads it
    const auto found = g_answers.find(key);
    return found != g_answers.end() ? found->second.c_str() : nullptr;
}

namespace {

class LanguageTextsTest : public vr620_test::ManagerTest {
  protected:
    LanguageTextsTest() {
        g_askedKeys.clear();
        g_answers.clear();
    }
    void InstallLanguage(const char* library, const std::string& language) {
        Install(library, "VR620Manager_" + language + ".so");
    }
    void ExpectErrorBoxes(std::size_t count, const std::string& text) {
        ASSERT_EQ(boxes.size(), count);
        for (const auto& box : boxes) {
            EXPECT_EQ(box.caption, "Error");
            EXPECT_EQ(box.text, text);
            EXPECT_EQ(box.icon, manager::BoxIcon::Error);
            EXPECT_EQ(box.buttons, manager::BoxButtons::Ok);
        }
    }
    Windows windows;
};

void AddCaptionHint(std::vector<std::string>& keys, const std::string& name) {
    keys.push_back(name + "->Caption");
    keys.push_back(name + "->Hint");
}

std::vector<std::string> ExpectedKeys() {
    std::vector<std::string> k;
    AddCaptionHint(k, "MainForm");
    for (const char* name :
         {"Label_RemoteConnection", "BitBtn_Configure", "BitBtn_Settings", "BitBtn_TimePrograms",
          "BitBtn_ConnectionSettings", "SaveTextsButton", "MenuItem_Open",
          "MenuItem_ConnectionSettings", "MenuItem_Configure", "MenuItem_TimePrograms",
          "MenuItem_Settings", "MenuItem_Log", "MenuItem_Help", "MenuItem_About"})
        AddCaptionHint(k, std::string("MainForm::") + name);
    AddCaptionHint(k, "ConnectSettings");
    for (const char* name :
         {"InitGroup", "IniStringEdit", "DialGroup", "DialStringEdit", "HangupGroup",
          "HangupStringEdit", "RestoreDefaults", "Close", "ChannelGroup", "COMLabel",
          "ChannelNumber", "ChannelSelect", "ModemConnection"}) {
        const std::string base = std::string("ConnectSettings::") + name;
        const std::string n = name;
        if (n == "ChannelSelect") {
            k.push_back(base + "->Hint");
        } else if (n.ends_with("Edit") || n == "ChannelNumber") {
            k.push_back(base + "->Text");
            k.push_back(base + "->Hint");
        } else {
            AddCaptionHint(k, base);
        }
    }
    AddCaptionHint(k, "LogForm");
    k.push_back("LogForm::ListBox_Log->Hint");
    k.push_back("LogForm::ListBox_Log->Items->Text");
    AddCaptionHint(k, "LogForm::Label_DeviceStatus");
    for (const char* name : {"DeviceState", "Closed", "Dialling", "Open", "ModemConnected", "Lost",
                             "OneClient", "Clients", "LastError", "NoGateway", "ReleaseAt"})
        k.push_back(std::string("LogForm::Phrase_") + name + "->Caption");
    AddCaptionHint(k, "AboutBox");
    AddCaptionHint(k, "AboutBox::Panel1");
    k.push_back("AboutBox::ProgramIcon->Hint");
    for (const char* name : {"ProductName", "Version", "Copyright", "OKButton"})
        AddCaptionHint(k, std::string("AboutBox::") + name);
    return k;
}

TEST_F(LanguageTextsTest, AsksEveryKeyOfTheFourWindowsInWalkOrder) {
    InstallLanguage(TEST_LANGUAGE_RECORDER, "REC");
    for (texts::Component* window : windows.All()) LanguageTexts("REC").ApplyTexts(*window);
    const std::vector<std::string> expected = ExpectedKeys();
    EXPECT_EQ(expected.size(), 87u);
    EXPECT_EQ(g_askedKeys, expected);
    // The walk and the keys that the export will write agree.
    std::vector<std::string> walked;
    for (texts::Component* window : windows.All()) {
        const std::vector<std::string> keys = Keys(*window);
        walked.insert(walked.end(), keys.begin(), keys.end());
    }
    EXPECT_EQ(walked, expected);
    for (const std::string& key : g_askedKeys) EXPECT_EQ(key.find("MainMenu1"), std::string::npos);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LanguageTextsTest, SetsTheAnsweredTextsOfEveryKind) {
    InstallLanguage(TEST_LANGUAGE_RECORDER, "REC");
    g_answers = {{"MainForm->Caption", "Main"},
                 {"MainForm->Hint", "main hint"},
                 {"MainForm::MenuItem_Open->Caption", "Open"},
                 {"MainForm::MenuItem_About->Hint", "about hint"},
                 {"ConnectSettings::ChannelGroup->Caption", "Port"},
                 {"ConnectSettings::IniStringEdit->Text", "ATZ\\r"},
                 {"ConnectSettings::ModemConnection->Caption", "Modem"},
                 {"ConnectSettings::ChannelSelect->Hint", "up or down"},
                 {"LogForm::ListBox_Log->Items->Text", "one\r\ntwo\nthree\r\n"},
                 {"AboutBox::Panel1->Caption", "panel"},
                 {"AboutBox::ProgramIcon->Hint", "icon"}};
    windows.logForm.ListBox_Log->addItem("collected line");
    for (texts::Component* window : windows.All()) LanguageTexts("REC").ApplyTexts(*window);

    EXPECT_EQ(windows.mainForm.windowTitle(), "Main");
    EXPECT_EQ(windows.mainForm.toolTip(), "main hint");
    EXPECT_EQ(windows.mainForm.MenuItem_Open->title(), "Open");
    EXPECT_EQ(windows.mainForm.MenuItem_About->statusTip(), "about hint");
    EXPECT_EQ(windows.connectSettings.ChannelGroup->title(), "Port");
    EXPECT_EQ(windows.connectSettings.IniStringEdit->text(), "ATZ\\r");
    EXPECT_EQ(windows.connectSettings.ModemConnection->text(), "Modem");
    EXPECT_EQ(windows.connectSettings.ChannelSelect->toolTip(), "up or down");
    ASSERT_EQ(windows.logForm.ListBox_Log->count(), 3);
    EXPECT_EQ(windows.logForm.ListBox_Log->item(0)->text(), "one");
    EXPECT_EQ(windows.logForm.ListBox_Log->item(2)->text(), "three");
    EXPECT_EQ(windows.aboutBox.Components().Owned(0).Value(texts::TextProperty::Caption), "panel");
    EXPECT_EQ(windows.aboutBox.ProgramIcon->toolTip(), "icon");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LanguageTextsTest, AComponentWithoutANameIsNotAskedButWhatItOwnsIsWalked) {
    InstallLanguage(TEST_LANGUAGE_RECORDER, "REC");
    QWidget window;
    QLabel outer("outer", &window);
    QLabel inner("inner", &window);
    texts::Component root("Probe", texts::ComponentKind::Window, &window);
    texts::Component& unnamed = root.Add("", texts::ComponentKind::Label, &outer);
    unnamed.Add("Inner", texts::ComponentKind::Label, &inner);
    g_answers = {{"Inner->Caption", "replaced"}};

    LanguageTexts("REC").ApplyTexts(root);
    // The unnamed owner has no name to put in front of its components' keys.
    EXPECT_EQ(g_askedKeys, (std::vector<std::string>{"Probe->Caption", "Probe->Hint",
                                                     "Inner->Caption", "Inner->Hint"}));
    EXPECT_EQ(outer.text(), "outer");
    EXPECT_EQ(inner.text(), "replaced");
}

TEST_F(LanguageTextsTest, ALibraryAnsweringOneKeyChangesOnlyThatText) {
    InstallLanguage(TEST_LANGUAGE_CONFIGURE_ONLY, "ONE");
    std::map<std::string, std::string> expected;
    for (texts::Component* window : windows.All()) expected.merge(Snapshot(*window));
    for (texts::Component* window : windows.All()) LanguageTexts("ONE").ApplyTexts(*window);

    expected["MainForm::BitBtn_Configure->Caption"] = "Configure only";
    std::map<std::string, std::string> after;
    for (texts::Component* window : windows.All()) after.merge(Snapshot(*window));
    EXPECT_EQ(after, expected);
    EXPECT_EQ(windows.mainForm.BitBtn_Configure->text(), "Configure only");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LanguageTextsTest, ALibraryAnsweringNullKeepsTheBuiltInTextsAndServesNumberedTexts) {
    InstallLanguage(TEST_LANGUAGE_NULL, "NUL");
    windows.logForm.ListBox_Log->addItem("kept");
    std::map<std::string, std::string> before;
    for (texts::Component* window : windows.All()) before.merge(Snapshot(*window));
    for (texts::Component* window : windows.All()) LanguageTexts("NUL").ApplyTexts(*window);
    std::map<std::string, std::string> after;
    for (texts::Component* window : windows.All()) after.merge(Snapshot(*window));
    EXPECT_EQ(after, before);
    EXPECT_EQ(after["MainForm::Label_RemoteConnection->Caption"], "Etäyhteys");

    LanguageTexts texts("NUL");
    EXPECT_EQ(texts.LoadText(10002), "Kysymys");
    EXPECT_EQ(texts.LoadText(10001), "");  // absent: empty, no box
    EXPECT_EQ(texts.LoadText(10003), std::string(1023, 'x'));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LanguageTextsTest, ALibraryWithoutTheTextFunctionIsReportedAndStillServesNumberedTexts) {
    InstallLanguage(TEST_LANGUAGE_WITHOUT_FUNCTION, "NOF");
    const auto before = Snapshot(windows.mainForm.Components());
    LanguageTexts texts("NOF");
    texts.ApplyTexts(windows.mainForm.Components());
    EXPECT_EQ(Snapshot(windows.mainForm.Components()), before);
    ExpectErrorBoxes(1, "Resource DLL doesn't contain LoadResourceString function");
    EXPECT_EQ(texts.LoadText(10006), "Not saved here");
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(LanguageTextsTest, AMissingLibraryIsReportedAtEveryUse) {
    // Only the library's own name counts, not one that the system's loader might try instead.
    Install(TEST_LANGUAGE_CONFIGURE_ONLY, "libVR620Manager_XXX.so");
    const auto before = Snapshot(windows.mainForm.Components());
    {
        LanguageTexts texts("XXX");
        texts.ApplyTexts(windows.mainForm.Components());
        texts.ApplyTexts(windows.logForm.Components());
    }
    EXPECT_EQ(Snapshot(windows.mainForm.Components()), before);
    ExpectErrorBoxes(2, "Error in loading resource DLL");

    // The numbered texts come from the built-in Finnish.
    boxes.clear();
    LanguageTexts texts("XXX");
    EXPECT_EQ(texts.LoadText(10001), "Virhe");
    EXPECT_EQ(texts.LoadText(10003), "Yhteyspalvelinta ei voitu käynnistää.");
    EXPECT_EQ(texts.LoadText(10008), "");
    ExpectErrorBoxes(3, "Error in loading resource DLL");

    // An empty language names "VR620Manager_.so", which is missing too.
    boxes.clear();
    LanguageTexts("").ApplyTexts(windows.aboutBox.Components());
    ExpectErrorBoxes(1, "Error in loading resource DLL");
}

TEST_F(LanguageTextsTest, ALibraryIsLoadedForEachUseSoAReplacedOneCountsNextTime) {
    InstallLanguage(TEST_LANGUAGE_NULL, "CHG");
    LanguageTexts("CHG").ApplyTexts(windows.mainForm.Components());
    EXPECT_EQ(windows.mainForm.BitBtn_Configure->text(), "&Konfigurointi");
    // Replaced by a new file (a new inode), as an installer would.
    std::filesystem::remove(folder / "VR620Manager_CHG.so");
    InstallLanguage(TEST_LANGUAGE_CONFIGURE_ONLY, "CHG");
    LanguageTexts("CHG").ApplyTexts(windows.mainForm.Components());
    EXPECT_EQ(windows.mainForm.BitBtn_Configure->text(), "Configure only");
}

TEST(ComponentModelTest, ListTextsSplitAtEveryKindOfLineBreak) {
    EXPECT_EQ(texts::SplitLines(""), std::vector<std::string>{});
    EXPECT_EQ(texts::SplitLines("a"), std::vector<std::string>{"a"});
    EXPECT_EQ(texts::SplitLines("a\r\nb\rc\nd\n"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(texts::SplitLines("a\n\nb\r\n\r\n"), (std::vector<std::string>{"a", "", "b", ""}));
}

}  // namespace
