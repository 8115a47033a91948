// The texts of the chosen user-interface language, from the language library beside the
// program. An object serves one use (one window, or the texts of one message box): it loads the
// library at its first fetch and releases it when destroyed, so a library replaced on disk is
// used from the next use on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "library_file.h"

namespace texts {

class Component;

// The numbered message texts.
inline constexpr int kTextErrorCaption = 10001;
inline constexpr int kTextQuestionCaption = 10002;
inline constexpr int kTextGatewayNotStarted = 10003;
inline constexpr int kTextCloseWithClients = 10004;
inline constexpr int kTextSettingsNotRead = 10005;
inline constexpr int kTextSettingsNotWritten = 10006;
inline constexpr int kTextClientNotStarted = 10007;

// The built-in Finnish text of `number`, empty for a number that has none.
std::string BuiltInNumberedText(int number);

// The program's path without its extension, "_", the language code and the platform's library
// suffix (".so").
std::filesystem::path LanguageLibraryPath(std::string_view language);

class LanguageTexts {
  public:
    explicit LanguageTexts(std::string language);
    LanguageTexts(const LanguageTexts&) = delete;
    LanguageTexts& operator=(const LanguageTexts&) = delete;

    // Numbered text `number` (at most 1023 bytes), empty when the library lacks it. A library
    // that cannot be loaded is reported in a message box, at every call, and the built-in
    // Finnish text stands in.
    std::string LoadText(int number);

    // Lays the library's texts over `component` and everything that it owns. A library that
    // cannot be loaded, or that lacks its text function, is reported in a message box and no
    // text is changed.
    void ApplyTexts(Component& component);

  private:
    bool LoadLibrary();

    std::string language_;
    manager::LibraryFile library_;
    // Handed to the library with every call; the library may keep state in it.
    std::uint32_t context_ = 0;
};

}  // namespace texts
