// Entry of every test program: a private home so that no test reads or writes the
// user's settings, data or Videos folder, then the Qt application and GoogleTest.
#include <framewheel/Codec.h>

#include <QDir>
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
    TestApp app(argc, argv);
    TestApp::setOrganizationName("Cinvora");
    TestApp::setApplicationName("Cinvora");
    SWInitCodec(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    SWUnInitCodec();
    return rc;
}
