// Qt's own texts (the standard buttons of message boxes, the standard dialogs) in the user's
// language, from the translations that Qt installs (Debian: qt6-translations-l10n).
#pragma once

#include <string>

namespace texts {

// Replaces the Qt translations in use by those of `language`. A language that Qt does not
// translate, or whose files are not installed, leaves Qt's texts in English.
void UseQtTranslations(const std::string& language);

}  // namespace texts
