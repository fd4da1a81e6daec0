#include "SheetTestSupport.h"

#include "TestSupport.h"

#include <foundation/MainThread.h>
#include <foundation/Settings.h>
#include <sendaway/SecretStore.h>

#include <glazeform/LXButton.h>

#include <QDir>
#include <QSettings>
#include <QFile>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace sheettest {

namespace {
class Isolation : public ::testing::Environment {
public:
    void SetUp() override { uploadtest::isolateFromSessionBus(); }
};
const auto *isolation = ::testing::AddGlobalTestEnvironment(new Isolation);
} // namespace

FakeExport::FakeExport(QString s) : source(std::move(s)) {}

void FakeExport::startPublish(LXExportWindowController *window) {
    ++starts;
    _window = window;
    output = QDir(testsupport::freshDir("export")).filePath("export.mp4");
    auto step = std::make_shared<std::function<void(int)>>();
    *step = [this, step](int i) {
        if (!_window || cancels)
            return;
        if (i < 4) {
            _window->exportAtPercent(25.0 * (i + 1));
            QTimer::singleShot(5, [step, i] { (*step)(i + 1); });
            return;
        }
        QFile::copy(source, output);
        finished = true;
        _window->finishedConvert(output);
    };
    QTimer::singleShot(5, [step] { (*step)(0); });
}

void FakeExport::cancelExport(LXExportWindowController *window) {
    ++cancels;
    window->canceledConvert();
}

AlertDesk::AlertDesk() {
    foundation::Alerts::setResponderForTesting(
        [this](const foundation::AlertRequest &r) -> std::optional<foundation::AlertButton> {
            shown.push_back(r);
            return answer ? answer(r) : foundation::AlertButton::Default;
        });
}

AlertDesk::~AlertDesk() { foundation::Alerts::setResponderForTesting({}); }

bool AlertDesk::has(const QString &title) const {
    for (const auto &r : shown)
        if (r.title == title)
            return true;
    return false;
}

bool dismissQuestion(QWidget *over, bool byClosing) {
    for (QMessageBox *box : over->findChildren<QMessageBox *>()) {
        if (!box->isVisible())
            continue;
        if (byClosing)
            box->close();
        else
            QTest::keyClick(box, Qt::Key_Escape);
        return true;
    }
    return false;
}

QWidget *documentWindow() {
    static QWidget *w = [] {
        auto *win = new QWidget;
        win->resize(900, 600);
        win->setWindowTitle("Document");
        win->show();
        return win;
    }();
    return w;
}

void click(LXButton *button) {
    ASSERT_TRUE(button);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(button->width() / 2, button->height() / 2));
}

void SheetTest::SetUp() {
    // Every test starts without a remembered account or settings of an earlier one.
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Cinvora", "Cinvora");
        store.clear();
        store.sync();
    }
    ASSERT_TRUE(server.listen());
    server.configureSettings();
}

void SheetTest::TearDown() {
    sendaway::SecretStore::setBackendForTesting(nullptr);
    // Anything still queued for a window of this test runs now, while the test's objects live.
    foundation::MainThread::drain();
    QCoreApplication::processEvents();
}

QString SheetTest::exportSource() {
    const QString clip = testsupport::fixture("clip.mp4");
    if (QFile::exists(clip))
        return clip;
    return uploadtest::makeFile(1200 * 1000, "clip.mp4");
}

} // namespace sheettest
