#include "points_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace points {
namespace {

bool Install(const QLocale& locale, const QString& name, const QString& folder) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(locale, name, "_", folder)) {
        QCoreApplication::installTranslator(translator);
        return true;
    }
    delete translator;
    return false;
}

}  // namespace

bool UseLanguage(const QString& code) {
    // The suite's codes are ISO 639-2: FIN is Qt's "fi", SWE "sv", ENG "en".
    QLocale::Language language = QLocale::codeToLanguage(code.toLower(), QLocale::ISO639Part2);
    const bool known = language == QLocale::Finnish || language == QLocale::English ||
                       language == QLocale::Swedish;
    if (!known) language = QLocale::Finnish;
    const QLocale locale(language);
    if (language != QLocale::English) Install(locale, "vr620-points", ":/translations");
    Install(locale, "qt", QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return known;
}

}  // namespace points
