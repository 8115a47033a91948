// The manager's own configuration file, VR620Manager.INI beside the program, or in the user's
// configuration folder when the program's folder cannot be written (the file beside the program
// then gives the values the user's file lacks). Each reader or writer makes one of these objects
// for its own use and drops it at once: nothing of the file is cached, so a change made by the
// user takes effect at the next use.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "outcome.h"

namespace manager {

class ConfigFile {
  public:
    // The file in use (see settings_location.h).
    ConfigFile();
    // `file`, with the values it lacks read from `defaults` (none when empty).
    explicit ConfigFile(std::filesystem::path file, std::filesystem::path defaults = {});

    // The file that is read first and written.
    const std::filesystem::path& Path() const { return file_; }

    // The stored text, cut to 2047 characters, or `defaultValue` when neither file has the
    // section and key. A key with nothing after "=" gives the empty text.
    std::string ReadText(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;

    // The stored number: "0x" or "0X" and hexadecimal digits, or a signed decimal number.
    // Anything else (empty, letters, trailing characters, out of range) gives `defaultValue`.
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;

    // Stores `value`, creating the file and the section as needed; every other line stays as
    // it was. A failure when the system refuses the write, its words naming the file.
    common::Outcome<> WriteText(std::string_view section, std::string_view key,
                                std::string_view value) const;

  private:
    std::filesystem::path file_;
    std::filesystem::path defaults_;
};

// The number rule of ReadInteger, on its own.
int ParseConfigInteger(std::string_view text, int defaultValue);

}  // namespace manager
