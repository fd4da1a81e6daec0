// The translations the programs load: the user's language with Qt's own texts, English
// (with its plural forms) for a language Cinvora has no translation for.
#include <vcBatchTally.h>
#include <vcTranslations.h>

#include <QCoreApplication>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

// Installs the translations for a language for one test, then takes them away again: the
// other tests of the program read English.
struct Installed {
    explicit Installed(const QLocale &locale)
        : loaded(vcTranslations::install(*QCoreApplication::instance(), locale)) {}
    ~Installed() {
        for (QTranslator *t : {loaded.ownTranslator, loaded.qtTranslator})
            if (t) {
                QCoreApplication::removeTranslator(t);
                delete t;
            }
    }
    vcTranslations::Loaded loaded;
};

QString tr(const char *context, const char *text, int n = -1) {
    return QCoreApplication::translate(context, text, nullptr, n);
}

} // namespace

TEST(Translations, GermanLoadsCinvorasAndQtsTexts) {
    Installed de(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(de.loaded.own, ":/i18n/cinvora_de.qm");
    EXPECT_TRUE(de.loaded.qt.endsWith("qtbase_de.qm")) << de.loaded.qt.toStdString();
    EXPECT_EQ(tr("ODMyDocumentWindow", "Convert"), "Konvertieren");
    EXPECT_EQ(tr("ODMyDocumentWindow", "%n item(s)", 1), "1 Element");
    EXPECT_EQ(tr("ODMyDocumentWindow", "%n item(s)", 3), "3 Elemente");
    // A string table's key, through its English text.
    EXPECT_EQ(tr("Strings", "Yes"), "Ja");
    EXPECT_EQ((vcBatchTally{2, 1, 0}).summary(), "2 Dateien konvertiert, 1 fehlgeschlagen.");
    // Qt's own buttons.
    EXPECT_EQ(tr("QPlatformTheme", "Cancel"), "Abbrechen");
}

TEST(Translations, ALanguageWithoutOneFallsBackToEnglishWithItsPlurals) {
    Installed fr(QLocale(QLocale::Finnish, QLocale::Finland));
    EXPECT_EQ(fr.loaded.own, ":/i18n/cinvora_en.qm");
    EXPECT_EQ(tr("ODMyDocumentWindow", "%n item(s)", 1), "1 item");
    EXPECT_EQ(tr("ODMyDocumentWindow", "%n item(s)", 2), "2 items");
    EXPECT_EQ(tr("ODMyDocumentWindow", "Convert"), "Convert");
    EXPECT_EQ((vcBatchTally{1, 0, 0}).summary(), "1 file converted.");
    EXPECT_EQ((vcBatchTally{0, 0, 2}).summary(), "0 files converted, 2 stopped.");
}
