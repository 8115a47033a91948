// The texts of vr620-points in the language of LANG=: Finnish (FIN), English (ENG, the texts
// of the source) or Swedish (SWE), from Qt translation files built into the program, and Qt's
// own texts (the file dialogs' buttons) from Qt's translations where Debian has them.
#pragma once

#include <QString>

namespace points {

// Installs the translators of `code` into the application. False when the program has no
// texts in that language; then Finnish is used.
bool UseLanguage(const QString& code);

}  // namespace points
