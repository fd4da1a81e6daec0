// Exports from the editor through their sheets: a trimmed local export, the export folder
// when no path is given, the media library, cancel and pause through the sheet, upload
// destinations that are absent or plugged in, and exports whose window or editor goes away.
#include <reelwright/LXMediaCommon.h>
#include <reelwright/LXMediaConvertController.h>

#include <sendaway/LXProgressIndicator.h>
#include <sendaway/LXFaceBookShareWindowController.h>
#include <sendaway/LXYoutubeShareWindowController.h>
#include <sendaway/LXiTunesExportWindowController.h>

#include <foundation/Alerts.h>
#include <foundation/BundleInfo.h>
#include <foundation/NotificationCenter.h>
#include <foundation/Reveal.h>

#include <glazeform/LXLabel.h>

#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStandardPaths>
#include <gtest/gtest.h>

using testsupport::fixture;
using testsupport::waitFor;
using State = LXExportWindowController::ExportState;

namespace {

void click(QWidget *w) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
}

struct Editor : LXMediaConvertCtrlDelegate {
    QStringList finished;
    std::vector<double> percents;
    void finishConvert(const QString &path) override { finished << path; }
    void converting(double percent) override { percents.push_back(percent); }
};

// A stand-in for an upload window of another library: records what reaches it.
class UploadWindow : public LXExportWindowController {
public:
    static UploadWindow *shareWindowController() {
        auto *w = new UploadWindow;
        w->loadWindow();
        return w;
    }
    QStringList converted;
    void finishedConvert(const QString &path) override { converted << path; }
};

double videoDuration(const QString &path) {
    for (const auto &s : testsupport::ffprobe(path).value("streams").toArray())
        if (s.toObject().value("codec_type").toString() == "video")
            return s.toObject().value("duration").toString().toDouble();
    return -1;
}

QByteArray contents(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QStringList filesIn(const QString &dir) { return QDir(dir).entryList(QDir::Files | QDir::Hidden); }

LXMediaInfoPtr slowItem() {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("clip.mp4"));
    item->setKeptRange(item->keptRange().withEnd(12.0));
    item->setWidth(1280);
    item->setHeight(960);
    item->setVCodecs({"h264"});
    item->setOutputFormat("mp4");
    item->setOutputExt(".mp4");
    return item;
}

double shownPercent(LXExportWindowController *w) { return w ? w->progressIndicator()->doubleValue() : -1; }

class Export : public ::testing::Test {
protected:
    QWidget window;
    Editor editor;
    std::vector<foundation::AlertRequest> asked;
    std::optional<foundation::AlertButton> answer = foundation::AlertButton::Default;
    QStringList revealed;
    std::vector<QVariantMap> ended; // the exports' end announcements

    void SetUp() override {
        foundation::NotificationCenter::defaultCenter().addObserver(
            &window, LXMediaConvertController::exportEndedNotification(),
            [this](const QString &, const QVariantMap &info) { ended.push_back(info); });
        window.resize(900, 600);
        window.show();
        foundation::Alerts::setResponderForTesting([this](const foundation::AlertRequest &r) {
            asked.push_back(r);
            return answer;
        });
        foundation::Reveal::setHandlerForTesting([this](const QString &what, const QString &target) {
            revealed << what + " " + target;
            return true;
        });
    }
    void TearDown() override {
        EXPECT_TRUE(LXMediaConvertController::cancelAllAndWait(30000));
        EXPECT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }));
        foundation::Alerts::setResponderForTesting({});
        foundation::Reveal::setHandlerForTesting({});
    }
};

} // namespace

TEST_F(Export, TrimmedLocalExportFinishesOnItsSheetAndReveals) {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("clip.mp4"));
    item->setKeptRange(LXKeptRange::fromSeconds(2.0, 6.5));
    const QString path = QDir(testsupport::freshDir("local")).filePath("trip.mov");
    auto c = LXMediaConvertController::startExport(item, path, &window, LXMediaConvertController::Local, &editor);
    ASSERT_TRUE(c);
    LXExportWindowController *w = c->exportWindow();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->parentWidget(), &window);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->exportState(), State::Converting);
    EXPECT_EQ(w->exportWinDelegate(), c.get());

    ASSERT_TRUE(waitFor([&] { return !editor.finished.isEmpty(); }, 120000));
    EXPECT_EQ(editor.finished, QStringList{path});
    EXPECT_EQ(c->outputPath(), path);
    ASSERT_FALSE(editor.percents.empty());
    EXPECT_EQ(editor.percents.back(), 100.0);
    EXPECT_EQ(w->exportState(), State::Finished);
    EXPECT_EQ(w->progressText()->textTitle(), "Export successfully");
    EXPECT_EQ(shownPercent(w), 100.0);
    EXPECT_NEAR(videoDuration(path), 4.5, 0.04 + 1e-6);
    // Its end is announced once, for the desktop to tell an absent user.
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_TRUE(ended[0].value("succeeded").toBool());
    EXPECT_EQ(ended[0].value("path").toString(), path);
    EXPECT_EQ(ended[0].value("destination").toInt(), int(LXMediaConvertController::Local));

    // The sheet stays until the user chooses; browsing closes it and shows the file.
    EXPECT_EQ(LXMediaConvertController::liveCount(), 1);
    click(w->browseButton());
    EXPECT_EQ(revealed, QStringList{"show " + path});
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }));
    EXPECT_TRUE(QFileInfo::exists(path));
}

TEST_F(Export, WithoutAPathTheExportFolderGetsANumberedFileAndTheSheetTheActiveWindow) {
    const QString folder = LXMediaCommon::exportMovieFolder();
    const QString taken = QDir(folder).filePath("short.mov");
    write(taken, "an earlier export");
    auto c = LXMediaConvertController::startExport(LXMediaInfo::initMediaInfoWithPath(fixture("short.mp4")), QString(),
                                                   nullptr, LXMediaConvertController::Local, &editor);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->exportWindow()->parentWidget(), &window);
    ASSERT_TRUE(waitFor([&] { return !editor.finished.isEmpty(); }, 120000));
    EXPECT_EQ(editor.finished.first(), QDir(folder).filePath("short(1).mov"));
    EXPECT_EQ(contents(taken), "an earlier export");
    EXPECT_GT(videoDuration(editor.finished.first()), 3.9);
    click(c->exportWindow()->closeButton()); // "Later"
    EXPECT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }));
    EXPECT_TRUE(revealed.isEmpty());
    QFile::remove(taken);
    QFile::remove(editor.finished.first());
}

TEST_F(Export, MediaLibraryGetsTheFileNumberedAndNothingStaysInTheCache) {
    const QString videos = QDir::home().filePath("Videos/" + foundation::BundleInfo::name());
    const QString music = QDir::home().filePath("Music/" + foundation::BundleInfo::name());
    write(QDir(videos).filePath("short.mov"), "the user's own");
    auto c = LXMediaConvertController::startExport(LXMediaInfo::initMediaInfoWithPath(fixture("short.mp4")), QString(),
                                                   &window, LXMediaConvertController::ITunes, &editor);
    ASSERT_TRUE(c);
    QPointer<LXExportWindowController> w = c->exportWindow();
    ASSERT_TRUE(w);
    EXPECT_TRUE(dynamic_cast<LXiTunesExportWindowController *>(w.data()));
    EXPECT_TRUE(w->isVisible());
    ASSERT_TRUE(waitFor([&] { return !w || w->exportState() == State::Closed; }, 120000));
    ASSERT_TRUE(LXiTunesExportWindowController::waitForHandOffs(30000));
    const QString placed = QDir(videos).filePath("short(1).mov");
    EXPECT_GT(videoDuration(placed), 3.9);
    EXPECT_EQ(contents(QDir(videos).filePath("short.mov")), "the user's own");
    EXPECT_TRUE(editor.finished.isEmpty()); // no finished state and no message
    const QString cache = QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).filePath("exports");
    EXPECT_TRUE(filesIn(cache).isEmpty()) << filesIn(cache).join(", ").toStdString();
    // One new file, and no second copy beside it (the default export folder is this folder).
    EXPECT_EQ(filesIn(videos).filter("short"), (QStringList{"short(1).mov", "short.mov"}));
    EXPECT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }));

    // Audio goes to the Music folder.
    auto song = LXMediaInfo::initMediaInfoWithPath(fixture("audio.flac"));
    song->setKeptRange(song->keptRange().withEnd(3.0));
    auto a = LXMediaConvertController::startExport(song, QString(), &window, LXMediaConvertController::ITunes, nullptr);
    ASSERT_TRUE(a);
    ASSERT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }, 120000));
    ASSERT_TRUE(LXiTunesExportWindowController::waitForHandOffs(30000));
    EXPECT_TRUE(QFileInfo(QDir(music).filePath("audio.mp3")).size() > 0);
}

TEST_F(Export, CancellingHalfwayThroughTheSheetLeavesNoFile) {
    const QString dir = testsupport::freshDir("cancel");
    auto c = LXMediaConvertController::startExport(slowItem(), QDir(dir).filePath("clip.mp4"), &window,
                                                   LXMediaConvertController::Local, &editor);
    ASSERT_TRUE(c);
    QPointer<LXExportWindowController> w = c->exportWindow();
    ASSERT_TRUE(waitFor([&] { return shownPercent(w) > 2.0; }, 60000));
    ASSERT_TRUE(c->conversion()->isRunning()) << "the conversion was too quick to cancel halfway";
    EXPECT_FALSE(w->leaveTimeTip()->textTitle().isEmpty());
    answer = foundation::AlertButton::Default;
    click(w->cancelButton());
    ASSERT_EQ(asked.size(), 1u);
    ASSERT_TRUE(waitFor([&] { return !w || w->exportState() == State::Closed; }, 20000));
    EXPECT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }));
    EXPECT_TRUE(filesIn(dir).isEmpty()) << filesIn(dir).join(", ").toStdString();
    EXPECT_TRUE(editor.finished.isEmpty());
    EXPECT_TRUE(ended.empty()) << "a cancelled export is not announced as ended";
}

TEST_F(Export, AFailedExportIsAnnouncedWithItsReason) {
    const QString dir = testsupport::freshDir("failed");
    const QString source = QDir(dir).filePath("source.mp4");
    ASSERT_TRUE(QFile::copy(fixture("short.mp4"), source));
    auto item = LXMediaInfo::initMediaInfoWithPath(source);
    ASSERT_TRUE(QFile::remove(source));
    auto c = LXMediaConvertController::startExport(item, QDir(dir).filePath("out.mov"), &window,
                                                   LXMediaConvertController::Local, &editor);
    ASSERT_TRUE(c);
    ASSERT_TRUE(waitFor([&] { return !ended.empty(); }, 60000));
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_FALSE(ended[0].value("succeeded").toBool());
    EXPECT_FALSE(ended[0].value("detail").toString().isEmpty());
    EXPECT_EQ(c->exportWindow()->exportState(), State::Failed);
}

TEST_F(Export, TheCancelQuestionHoldsTheExportAndNoGoesOn) {
    const QString dir = testsupport::freshDir("hold");
    auto c = LXMediaConvertController::startExport(slowItem(), QDir(dir).filePath("clip.mp4"), &window,
                                                   LXMediaConvertController::Local, &editor);
    ASSERT_TRUE(c);
    LXExportWindowController *w = c->exportWindow();
    ASSERT_TRUE(waitFor([&] { return shownPercent(w) > 2.0; }, 60000));
    answer.reset(); // the question stays open
    click(w->cancelButton());
    EXPECT_TRUE(c->conversion()->isPaused());
    waitFor([] { return false; }, 400);
    const double held = shownPercent(w);
    waitFor([] { return false; }, 1000);
    EXPECT_EQ(shownPercent(w), held);
    // A second start request while held resumes (as "No" would).
    auto boxes = w->findChildren<QMessageBox *>();
    ASSERT_EQ(boxes.size(), 1);
    for (QAbstractButton *b : boxes[0]->buttons())
        if (b->text() == "No")
            b->click();
    EXPECT_FALSE(c->conversion()->isPaused());
    EXPECT_EQ(w->exportState(), State::Converting);
    ASSERT_TRUE(waitFor([&] { return shownPercent(w) > held; }, 60000));
}

// The upload windows of this build, as the library registered them.
static void restoreUploadWindows() {
    LXExportWindowController::registerWindowClass(
        "LXYoutubeShareWindowController", [] { return LXYoutubeShareWindowController::shareWindowController(); });
    LXExportWindowController::registerWindowClass(
        "LXFaceBookShareWindowController", [] { return LXFaceBookShareWindowController::shareWindowController(); });
}

TEST_F(Export, UploadDestinationsAreNotAvailableUntilAWindowIsBuiltIn) {
    EXPECT_TRUE(LXMediaConvertController::isExportTypeAvailable(LXMediaConvertController::Youtube));
    EXPECT_TRUE(LXMediaConvertController::isExportTypeAvailable(LXMediaConvertController::Facebook));
    // A build without them:
    LXExportWindowController::registerWindowClass("LXYoutubeShareWindowController", nullptr);
    LXExportWindowController::registerWindowClass("LXFaceBookShareWindowController", nullptr);
    for (int type : {LXMediaConvertController::Facebook, LXMediaConvertController::Youtube}) {
        EXPECT_FALSE(LXMediaConvertController::isExportTypeAvailable(type));
        auto c = LXMediaConvertController::startExport(LXMediaInfo::initMediaInfoWithPath(fixture("short.mp4")),
                                                       QString(), &window, type, &editor);
        EXPECT_FALSE(c);
    }
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].title, "Exporting to Facebook is not available in this version.");
    EXPECT_EQ(asked[1].title, "Exporting to YouTube is not available in this version.");
    EXPECT_TRUE(LXMediaConvertController::isExportTypeAvailable(LXMediaConvertController::Local));
    EXPECT_TRUE(LXMediaConvertController::isExportTypeAvailable(LXMediaConvertController::ITunes));
    // Types outside the menu do nothing at all.
    EXPECT_FALSE(LXMediaConvertController::startExport(LXMediaInfo::initMediaInfoWithPath(fixture("short.mp4")),
                                                       QString(), &window, 4, &editor));
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(LXMediaConvertController::liveCount(), 0);
    restoreUploadWindows();
}

TEST_F(Export, APluggedInUploadWindowConvertsOnlyWhenPublishing) {
    LXExportWindowController::registerWindowClass("LXYoutubeShareWindowController",
                                                  [] { return UploadWindow::shareWindowController(); });
    LXExportWindowController::registerWindowClass("LXFaceBookShareWindowController",
                                                  [] { return UploadWindow::shareWindowController(); });
    const QString dir = testsupport::freshDir("upload");
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("short.mp4"));

    // YouTube: the sheet shows at once; nothing converts before publishing.
    auto y = LXMediaConvertController::startExport(item, dir, &window, LXMediaConvertController::Youtube, &editor);
    ASSERT_TRUE(y);
    auto *yw = dynamic_cast<UploadWindow *>(y->exportWindow());
    ASSERT_TRUE(yw);
    EXPECT_TRUE(yw->isVisible());
    EXPECT_EQ(yw->parrentWin(), &window);
    EXPECT_FALSE(y->conversion()->isRunning());
    y->pauseExport(yw);
    y->cancelExport(yw);
    EXPECT_FALSE(y->conversion()->hasSession());
    yw->exportWinDelegate()->startPublish(yw);
    EXPECT_EQ(yw->exportState(), State::Converting);
    ASSERT_TRUE(waitFor([&] { return !yw->converted.isEmpty(); }, 120000));
    EXPECT_EQ(yw->converted, QStringList{QDir(dir).filePath("short.mov")});
    EXPECT_TRUE(editor.finished.isEmpty()); // only local exports report a finished file
    EXPECT_EQ(LXMediaConvertController::liveCount(), 1);
    yw->closeWindow(); // the upload is the window's business; then the export is over
    EXPECT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }));

    // Facebook: the window shows itself later on the given window; closed unpublished, the
    // export ends without converting.
    auto f = LXMediaConvertController::startExport(item, dir, &window, LXMediaConvertController::Facebook, &editor);
    ASSERT_TRUE(f);
    LXExportWindowController *fw = f->exportWindow();
    ASSERT_TRUE(fw);
    EXPECT_FALSE(fw->isVisible());
    EXPECT_EQ(fw->parrentWin(), &window);
    fw->cancel(nullptr);
    EXPECT_FALSE(f->conversion()->hasSession());
    EXPECT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }));
    EXPECT_EQ(filesIn(dir), QStringList{"short.mov"});

    restoreUploadWindows();
}

TEST_F(Export, AnExportWhoseWindowGoesAwayStopsAndLeavesNoFile) {
    const QString dir = testsupport::freshDir("gone");
    auto *parent = new QWidget;
    parent->resize(600, 400);
    parent->show();
    auto c = LXMediaConvertController::startExport(slowItem(), QDir(dir).filePath("clip.mp4"), parent,
                                                   LXMediaConvertController::Local, &editor);
    ASSERT_TRUE(c);
    QPointer<LXExportWindowController> w = c->exportWindow();
    ASSERT_TRUE(waitFor([&] { return shownPercent(w) > 1.0; }, 60000));
    std::weak_ptr<LXMediaConvertController> weak = c;
    c.reset();
    delete parent; // the sheet goes with its window
    EXPECT_FALSE(w);
    EXPECT_TRUE(waitFor([&] { return weak.expired(); }, 20000));
    EXPECT_TRUE(filesIn(dir).isEmpty()) << filesIn(dir).join(", ").toStdString();
}

TEST_F(Export, AnEditorThatGoesAwayIsForgotten) {
    auto *gone = new Editor;
    const QString dir = testsupport::freshDir("editor");
    auto c = LXMediaConvertController::startExport(LXMediaInfo::initMediaInfoWithPath(fixture("short.mp4")), dir,
                                                   &window, LXMediaConvertController::Local, gone);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->delegate(), gone);
    delete gone;
    EXPECT_EQ(c->delegate(), nullptr);
    ASSERT_TRUE(waitFor([&] { return c->exportWindow()->exportState() == State::Finished; }, 120000));
    c->exportWindow()->closeWindow();
}
