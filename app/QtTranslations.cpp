#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString loadQtTranslations(QCoreApplication &app)
{
    // qtbase covers every dialog and button the program shows; Debian ships it in
    // qt6-translations-l10n.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto *translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                          QStringLiteral("_"), folder)) {
        delete translator;
        return folder + QStringLiteral("/qtbase_ja.qm");
    }
    QCoreApplication::installTranslator(translator);
    return {};
}
