// The language libraries that ship with the program, checked against the windows and against
// the text files they are built from.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "library_file.h"
#include "manager_fixture.h"
#include "texts/language_library.h"
#include "texts/language_texts.h"

namespace {

using vr620_test::Keys;
using vr620_test::Snapshot;
using vr620_test::Windows;

// Texts that a language must never replace: the collected log, the device's state, the user's
// modem strings and the COM number.
const std::set<std::string> kMustStayNull = {
    "LogForm::ListBox_Log->Items->Text",       "LogForm::Label_DeviceStatus->Caption",
    "ConnectSettings::IniStringEdit->Text",    "ConnectSettings::DialStringEdit->Text",
    "ConnectSettings::HangupStringEdit->Text", "ConnectSettings::ChannelNumber->Text"};

// The key=text entries of a shipped text file (these hold no list entries).
std::vector<std::pair<std::string, std::string>> ReadTextFile(const std::string& language) {
    std::ifstream in(std::string(VR620_LANGUAGE_SOURCE_DIR) + "/" + language + ".txt");
    std::vector<std::pair<std::string, std::string>> entries;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        const std::size_t equals = line.find('=');
        entries.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return entries;
}

class ShippedLanguageTest : public vr620_test::ManagerTest,
                            public ::testing::WithParamInterface<const char*> {
  protected:
    ShippedLanguageTest() {
        Install(std::string(VR620_LANGUAGE_LIBRARY_DIR) + "/VR620Manager_" + Language() + ".so",
                "VR620Manager_" + Language() + ".so");
        if (library_.Load()) {
            load_ = reinterpret_cast<LoadResourceStringFunction>(
                library_.Resolve(texts::kLoadResourceStringName));
        }
    }
    std::string Language() const { return GetParam(); }
    const char* Answer(const std::string& key) {
        std::uint32_t context = 0;
        return load_(key.c_str(), &context);
    }

    manager::LibraryFile library_{texts::LanguageLibraryPath(Language())};
    LoadResourceStringFunction load_ = nullptr;
    Windows windows;
};

TEST_P(ShippedLanguageTest, AnswersOnlyKeysOfTheWindowsAndEveryTextButTheUsersOwn) {
    ASSERT_TRUE(library_.Loaded()) << library_.Error();
    ASSERT_NE(load_, nullptr);
    std::set<std::string> windowKeys;
    std::map<std::string, std::string> builtIn;
    for (texts::Component* window : windows.All()) {
        for (const std::string& key : Keys(*window)) windowKeys.insert(key);
        builtIn.merge(Snapshot(*window));
    }

    std::size_t textEntries = 0;
    for (const auto& [key, text] : ReadTextFile(Language())) {
        if (key.find_first_not_of("0123456789") == std::string::npos) continue;
        ++textEntries;
        EXPECT_TRUE(windowKeys.contains(key)) << key << " is no key of the windows";
        const char* answer = Answer(key);
        ASSERT_NE(answer, nullptr) << key;
        EXPECT_EQ(std::string(answer), text) << key;
    }
    EXPECT_GT(textEntries, 0u);

    for (const std::string& key : windowKeys) {
        const char* answer = Answer(key);
        if (kMustStayNull.contains(key)) {
            EXPECT_EQ(answer, nullptr) << key;
        } else if (!builtIn[key].empty() && !key.ends_with("->Hint")) {
            EXPECT_NE(answer, nullptr) << "no translation for " << key;
        }
        // Finnish is the built-in language.
        if (Language() == "FIN" && answer != nullptr) {
            EXPECT_EQ(answer, builtIn[key]) << key;
        }
    }
    EXPECT_EQ(Answer("MainForm::NoSuchComponent->Caption"), nullptr);
}

TEST_P(ShippedLanguageTest, HoldsEveryMessageText) {
    texts::LanguageTexts texts(Language());
    for (int number = 10001; number <= 10007; ++number) {
        EXPECT_FALSE(texts.LoadText(number).empty()) << number;
        // Finnish is also what the program says without any language library.
        if (Language() == "FIN") {
            EXPECT_EQ(texts.LoadText(number), texts::BuiltInNumberedText(number)) << number;
        }
    }
    EXPECT_EQ(texts.LoadText(10008), "");
    EXPECT_TRUE(boxes.empty());
}

TEST_P(ShippedLanguageTest, ShowingTheWindowsKeepsTheLogAndTheUsersSettings) {
    windows.logForm.ListBox_Log->addItem("01.02.2026 09:05:03  Client on 7 connected");
    windows.connectSettings.ChannelNumber->setText("7");
    windows.connectSettings.DialStringEdit->setText("ATDT 555\\r");
    for (texts::Component* window : windows.All())
        texts::LanguageTexts(Language()).ApplyTexts(*window);
    ASSERT_EQ(windows.logForm.ListBox_Log->count(), 1);
    EXPECT_EQ(windows.connectSettings.ChannelNumber->text(), "7");
    EXPECT_EQ(windows.connectSettings.DialStringEdit->text(), "ATDT 555\\r");
    EXPECT_EQ(windows.connectSettings.IniStringEdit->text(), "ATE0S0=1\\r;AT&W\\r");
    EXPECT_TRUE(boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedLanguageTest, ::testing::Values("FIN", "ENG", "SWE"));

}  // namespace
