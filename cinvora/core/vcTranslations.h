#pragma once
// Texts in the user's language: Cinvora's own (translations/*.ts, in the core's resources)
// and Qt's (its dialogs and standard buttons) from the system's Qt translations. The window
// takes the system locale's language, so LANGUAGE, LC_ALL, LC_MESSAGES and LANG are
// honoured in the usual order; the command line stays English (its own texts are not
// translated), and loads the English translation for its plural forms.
#include <QLocale>
#include <QString>

class QCoreApplication;
class QTranslator;

namespace vcTranslations {

struct Loaded {
    QString own; // the .qm file of Cinvora's texts that was loaded
    QString qt;  // the .qm file of Qt's texts, empty when the system has none for the language
    QTranslator *ownTranslator = nullptr;
    QTranslator *qtTranslator = nullptr;
};

// Installs both translators on the application, which owns them.
Loaded install(QCoreApplication &app, const QLocale &locale = QLocale::system());

} // namespace vcTranslations
