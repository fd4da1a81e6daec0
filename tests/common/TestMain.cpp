// Entry of every test program: a private home so that no test reads or writes the
// user's settings, data or Videos folder, then the Qt application and GoogleTest.
#include <framewheel/Codec.h>

#include <QDir>
#include <QTranslator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef CINVORA_TEST_GUI
#include <QApplication>
using TestApp = QApplication;
#else
#include <QCoreApplication>
using TestApp = QCoreApplication;
#endif

int main(int argc, char **argv) {
    QTemporaryDir home(QDir::tempPath() + "/cinvora-test-XXXXXX");
    if (!home.isValid())
        return 3;
    const QByteArray h = home.path().toUtf8();
    qputenv("HOME", h);
    qputenv("XDG_CONFIG_HOME", h + "/.config");
    qputenv("XDG_DATA_HOME", h + "/.local/share");
    qputenv("XDG_CACHE_HOME", h + "/.cache");
    QDir().mkpath(home.path() + "/Videos");
    QDir().mkpath(home.path() + "/Music");
#ifdef CINVORA_TEST_GUI
    // Windows of a test never appear on the developer's screen; this also covers the test
    // listing that CTest runs before it sets the tests' environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    TestApp app(argc, argv);
    TestApp::setOrganizationName("Cinvora");
    TestApp::setApplicationName("Cinvora");
    // English as the programs show it: the core's English translation gives the plural
    // forms ("1 item", "2 items"). Only programs that link the core carry it.
    QTranslator english;
    if (english.load(QStringLiteral(":/i18n/cinvora_en.qm")))
        TestApp::installTranslator(&english);
    SWInitCodec(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    SWUnInitCodec();
    return rc;
}
