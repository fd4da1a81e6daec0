#include "vcTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace vcTranslations {

Loaded install(QCoreApplication &app, const QLocale &locale) {
    Loaded loaded;
    auto *own = new QTranslator(&app);
    // A language without a translation of its own still gets the English one: it is what
    // gives English its plural forms ("1 item", "2 items").
    if (own->load(locale, QStringLiteral("cinvora"), QStringLiteral("_"), QStringLiteral(":/i18n")) ||
        own->load(QStringLiteral("cinvora_en"), QStringLiteral(":/i18n"))) {
        loaded.own = own->filePath();
        loaded.ownTranslator = own;
        QCoreApplication::installTranslator(own);
    } else {
        delete own;
    }

    auto *qt = new QTranslator(&app);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        loaded.qt = qt->filePath();
        loaded.qtTranslator = qt;
        QCoreApplication::installTranslator(qt);
    } else {
        delete qt;
    }
    return loaded;
}

} // namespace vcTranslations
