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

// Reports from inside third-party libraries that the sanitizers cannot see into:
// libx265 keeps one process-wide allocation after its encoder is closed, and the codec
// libraries synchronise their worker threads with atomics that ThreadSanitizer does not
// see in uninstrumented code. The longer history keeps it from losing track of which
// locks our own earlier accesses held.
extern "C" const char *__lsan_default_suppressions() { return "leak:libx265.so\n"; }
extern "C" const char *__tsan_default_options() { return "history_size=7"; }
extern "C" const char *__tsan_default_suppressions() {
    return "race:libavcodec.so\nrace:libavutil.so\nrace:libavfilter.so\nrace:libavformat.so\n"
           "race:libswscale.so\nrace:libswresample.so\nrace:libx264.so\nrace:libx265.so\nrace:libvpx.so\n"
           "race:libass.so\n";
}

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
