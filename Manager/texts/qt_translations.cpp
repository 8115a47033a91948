#include "qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace texts {
namespace {

constexpr char kTranslatorName[] = "vr620QtTranslations";

}  // namespace

void UseQtTranslations(const std::string& language) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) return;
    // The application owns the translator; the one of an earlier language goes.
    delete application->findChild<QTranslator*>(kTranslatorName, Qt::FindDirectChildrenOnly);

    // Our language codes are the three-letter ISO 639-2 codes: FIN is Finnish (Qt's "fi"), ENG
    // English, SWE Swedish, and a new language's code names its language as well.
    const QLocale::Language qtLanguage =
        QLocale::codeToLanguage(QString::fromStdString(language).toLower(), QLocale::ISO639Part2);
    if (qtLanguage == QLocale::AnyLanguage) return;
    auto* translator = new QTranslator(application);
    translator->setObjectName(kTranslatorName);
    // "qt_<locale>" gathers the catalogues of Qt's modules.
    if (translator->load(QLocale(qtLanguage), "qt", "_",
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

}  // namespace texts
