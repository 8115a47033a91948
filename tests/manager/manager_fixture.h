// What the manager's tests share: a private program folder per test (the files the manager
// finds beside itself are looked up there, and its user configuration folder lies in it), the
// message boxes answered and recorded, and the four windows.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "about_box.h"
#include "connect_settings.h"
#include "log_form.h"
#include "main_form.h"
#include "message_boxes.h"
#include "program_path.h"
#include "temp_dir.h"
#include "texts/component_model.h"

namespace vr620_test {

class ManagerTest : public ::testing::Test {
  protected:
    ManagerTest() {
        manager::SetProgramPathForTesting(ProgramPath());
        setenv("XDG_CONFIG_HOME", (folder.Path() / "config").c_str(), 1);
        previousAnswerer_ =
            manager::SetMessageBoxAnswerer([this](const manager::MessageBoxRequest& request) {
                boxes.push_back(request);
                return answer.value_or(request.defaultAnswer);
            });
    }
    ~ManagerTest() override {
        manager::SetMessageBoxAnswerer(previousAnswerer_);
        manager::SetProgramPathForTesting({});
        unsetenv("XDG_CONFIG_HOME");
    }

    std::filesystem::path ProgramPath() const { return folder.Path() / "VR620Manager"; }

    // Puts `library` beside the test's program path under `name`.
    void Install(const std::filesystem::path& library, const std::string& name) const {
        std::filesystem::copy_file(library, folder.Path() / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }

    TempDir folder;
    std::vector<manager::MessageBoxRequest> boxes;
    std::optional<manager::BoxAnswer> answer;

  private:
    manager::MessageBoxAnswerer previousAnswerer_;
};

// The four windows as the program creates them.
struct Windows {
    TMainForm mainForm;
    TAboutBox aboutBox;
    TConnectSettings connectSettings;
    TLogForm logForm;

    std::vector<texts::Component*> All() {
        return {&mainForm.Components(), &connectSettings.Components(), &logForm.Components(),
                &aboutBox.Components()};
    }
};

// Every text of `root` and what it owns, by key; list properties as their lines joined by LF.
inline std::map<std::string, std::string> Snapshot(texts::Component& root) {
    std::map<std::string, std::string> values;
    texts::Walk(root, [&](texts::Component& c) {
        for (texts::TextProperty p : texts::PropertiesOf(c.Kind())) {
            std::string value;
            if (texts::IsLineList(p)) {
                for (const std::string& line : c.Lines(p)) value += line + "\n";
            } else {
                value = c.Value(p);
            }
            values[c.Key(p)] = value;
        }
    });
    return values;
}

// Every key of `root` and what it owns, in walk order.
inline std::vector<std::string> Keys(texts::Component& root) {
    std::vector<std::string> keys;
    texts::Walk(root, [&](texts::Component& c) {
        for (texts::TextProperty p : texts::PropertiesOf(c.Kind())) keys.push_back(c.Key(p));
    });
    return keys;
}

}  // namespace vr620_test
