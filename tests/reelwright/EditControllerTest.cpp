// The trim editor with real clips in the offscreen player (null audio): the kept range from
// the handles and from the play position, stepping, the track menus with an attached
// SubRip file, moving through a list, the space-bar notification and the back button, and
// exports through the export menu (a file, the media library, a cancel halfway).
#include "../glazeform/GuiEvents.h"
#include "DocumentSkin.h"

#include <foundation/Alerts.h>
#include <foundation/BundleInfo.h>
#include <foundation/NotificationCenter.h>
#include <foundation/Reveal.h>
#include <framewheel/SWMediaInfoManager.h>
#include <reelwright/LXMediaCommon.h>
#include <reelwright/LXMediaEditController.h>
#include <sendaway/LXFaceBookShareWindowController.h>
#include <sendaway/LXProgressIndicator.h>
#include <sendaway/LXYoutubeShareWindowController.h>
#include <sendaway/LXiTunesExportWindowController.h>

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QAbstractButton>
#include <QJsonArray>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::fixture;
using testsupport::waitFor;
using State = LXExportWindowController::ExportState;

namespace {

constexpr double kFrame = 0.04; // the fixtures run at 25 frames per second
constexpr int kLong = 30000;
constexpr int kConvert = 120000;

// The application's side: dresses the screen like the document, keeps a list of items and
// answers the list navigation the way the document does.
struct Host : DocumentSkin {
    std::vector<LXMediaInfoPtr> list;
    LXMediaEditController *editor = nullptr;
    int backs = 0, firstFrames = 0, lastFrames = 0;
    std::vector<int64_t> audioChoices, subtitleChoices;
    QStringList attached;

    LXMediaInfoPtr fetchEditMovieAtIndex(int64_t index) override {
        return index >= 0 && index < int64_t(list.size()) ? list[size_t(index)] : nullptr;
    }
    void gotoPreviousItem(LXMediaController *) override { editor->previousMedia(); }
    void gotoNextItem(LXMediaController *) override { editor->nextMedia(); }
    void gotoFirstFrame(LXMediaController *) override { ++firstFrames; }
    void gotoLastFrame(LXMediaController *) override { ++lastFrames; }
    void backToMainPage(LXMediaController *) override { ++backs; }
    void changeAudioStreamAtIndex(LXMediaController *, int64_t i) override { audioChoices.push_back(i); }
    void changeSubTitleStreamAtIndex(LXMediaController *, int64_t i) override { subtitleChoices.push_back(i); }
    void loadPluginSubTitle(LXMediaController *, const QString &path) override { attached << path; }
};

QStringList entries(QComboBox *menu) {
    QStringList out;
    for (int i = 0; i < menu->count(); ++i)
        out << menu->itemText(i);
    return out;
}

// The user moves a menu one entry down or up with the keyboard (which also reports it as chosen).
void menuDown(QComboBox *menu) { QTest::keyClick(menu, Qt::Key_Down); }
void menuUp(QComboBox *menu) { QTest::keyClick(menu, Qt::Key_Up); }

QJsonObject streamOf(const QString &path, const QString &type) {
    for (const auto &s : testsupport::ffprobe(path).value("streams").toArray())
        if (s.toObject().value("codec_type").toString() == type)
            return s.toObject();
    return {};
}

double videoDuration(const QString &path) { return streamOf(path, "video").value("duration").toString().toDouble(); }

QStringList filesIn(const QString &dir) { return QDir(dir).entryList(QDir::Files | QDir::Hidden); }

// A press and release at the middle of a widget.
void clickMiddle(QWidget *w) { gui::click(w, QPointF(w->width() / 2.0, w->height() / 2.0)); }

// A press, drag and release on the trim slider, in its lower-left coordinates.
void dragSlider(LXCutSlider *s, QPointF from, QPointF to) {
    gui::hover(s, gui::ll(s, from.x(), from.y()));
    gui::press(s, gui::ll(s, from.x(), from.y()));
    gui::drag(s, gui::ll(s, to.x(), to.y()));
    gui::release(s, gui::ll(s, to.x(), to.y()));
}

double shownPercent(LXExportWindowController *w) { return w ? w->progressIndicator()->doubleValue() : -1; }

class TrimEditor : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SWPlayer::setDefaultAudioOutput("null"); }
    void SetUp() override {
        window.resize(900, 560);
        window.show();
        foundation::Alerts::setResponderForTesting([this](const foundation::AlertRequest &r) {
            asked.push_back(r);
            return answer;
        });
        foundation::Reveal::setHandlerForTesting([](const QString &, const QString &) { return true; });
    }
    void TearDown() override {
        EXPECT_TRUE(LXMediaConvertController::cancelAllAndWait(30000));
        delete editor;
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        foundation::Alerts::setResponderForTesting({});
        foundation::Reveal::setHandlerForTesting({});
    }
    LXMediaInfoPtr item(const QString &name) { return LXMediaInfo::initMediaInfoWithPath(fixture(name)); }
    // Opens the application's editor page on `shown` inside the window.
    void open(const LXMediaInfoPtr &shown, const QString &outputPath = {}) {
        editor = LXMediaEditController::shareEditControllerEditMovieInfoInWinOutputPathWithNibName(
            &host, shown, &window, outputPath, LXMediaEditController::kODNibName);
        host.editor = editor;
        editor->attachToView(&window);
        editor->show();
    }
    bool playable() {
        return waitFor([&] { return editor->playView()->isPlayable(); }, kLong);
    }
    double landedSeconds() {
        waitFor([&] { return !editor->playView()->isSeeking(); }, kLong);
        return double(editor->playView()->currentTimeUs()) / 1e6;
    }
    // The kept range set from the play position: the cursor to each end, then its apply button.
    void keepFromPlayPosition(double start, double end) {
        const double T = editor->editMovie()->totalDuration();
        editor->seekframe(start / T);
        clickMiddle(editor->leftCutApplyBtn());
        editor->seekframe(end / T);
        clickMiddle(editor->rightCutApplyBtn());
    }
    // Chooses an entry of the export menu with the pointer.
    void chooseExport(int index) {
        LXPopUpButton *b = editor->exportTypePopupBtn();
        gui::press(b, {10, 10});
        gui::release(b, {10, 10});
        LXMenu *menu = b->menuWindow();
        ASSERT_NE(menu, nullptr);
        ASSERT_GT(int(menu->rows().size()), index);
        gui::press(menu->rows()[size_t(index)], {30, 10});
        gui::release(menu->rows()[size_t(index)], {30, 10});
    }
    LXExportWindowController *sheet() {
        auto last = editor->lastExport();
        return last ? last->exportWindow() : nullptr;
    }
    // Attaches a SubRip file through the subtitle menu's last entry and its chooser.
    void attachThroughMenu(const QString &path) {
        QComboBox *menu = editor->subTitlesBtn();
        while (menu->currentIndex() < menu->count() - 1)
            menuDown(menu);
        ASSERT_TRUE(editor->subtitleChooser());
        editor->subtitleChooser()->selectFile(path);
        static_cast<QDialog *>(editor->subtitleChooser())->accept(); // the chooser's Open
        QApplication::processEvents();
    }

    Host host;
    QWidget window;
    QPointer<LXMediaEditController> editor;
    std::vector<foundation::AlertRequest> asked;
    std::optional<foundation::AlertButton> answer = foundation::AlertButton::Default;
};

} // namespace

TEST_F(TrimEditor, HandlesAndThePlayPositionSetTheKeptRange) {
    auto clip = item("clip.mp4");
    open(clip);
    ASSERT_TRUE(playable());
    const double T = clip->totalDuration();
    ASSERT_NEAR(T, 24.0, 0.1);
    EXPECT_EQ(editor->exportType(), 1);
    EXPECT_EQ(editor->exportTypePopupBtn()->drawStr(), "Export");

    // The handles dragged to about 2 s and 6.5 s: the item follows to a pixel's accuracy.
    LXCutSlider *s = editor->cutSlider();
    // The left handle cuts at its right edge and is held at its left edge; the right one
    // cuts at its left edge and is held at its middle.
    const double x0 = s->slideRt().left(), Ws = s->slideRt().width(), pixel = T / Ws;
    const QRectF l = s->leftCutRt();
    dragSlider(s, l.center(), QPointF(x0 - l.width() + 2.0 / T * Ws, l.center().y()));
    EXPECT_NEAR(clip->trackStart(), 2.0, 1.5 * pixel);
    const QRectF r = s->rightCutRt();
    dragSlider(s, r.center(), QPointF(x0 + 6.5 / T * Ws + r.width() / 2, r.center().y()));
    EXPECT_NEAR(clip->trackEnd(), 6.5, 1.5 * pixel);
    EXPECT_GT(host.updates, 0);

    // Exactly from the play position; the precise labels show hundredths.
    keepFromPlayPosition(2.0, 6.5);
    EXPECT_NEAR(clip->trackStart(), 2.0, 1e-9);
    EXPECT_NEAR(clip->trackEnd(), 6.5, 1e-9);
    EXPECT_NEAR(clip->trackStartPos(), 2.0 / T, 1e-12);
    editor->seekframe(3.25 / T);
    EXPECT_EQ(editor->startTimeLbl()->textTitle(), "0:00:03.25");
    EXPECT_NEAR(landedSeconds(), 3.25, kFrame);
    EXPECT_EQ(editor->timeLabel()->textTitle(), "00:03/00:04") << "the file's time and the kept length";
    EXPECT_FALSE(editor->isPlaying());

    // The range can never be shorter than two seconds.
    editor->seekframe(5.0 / T);
    clickMiddle(editor->leftCutApplyBtn());
    EXPECT_NEAR(clip->trackEnd() - clip->trackStart(), 2.0, 1e-6);
    EXPECT_NEAR(clip->trackEnd(), 6.5, 1e-9);
}

TEST_F(TrimEditor, StepsAFrameForwardASecondBackAndToTheRangesEnds) {
    auto clip = item("clip.mp4");
    clip->setKeptRange(LXKeptRange::fromSeconds(3.0, 9.0));
    open(clip);
    ASSERT_TRUE(playable());
    const double T = clip->totalDuration();

    editor->seekframe(5.0 / T);
    EXPECT_NEAR(landedSeconds(), 5.0, kFrame / 2);
    clickMiddle(editor->nextButton());
    EXPECT_TRUE(waitFor([&] { return landedSeconds() > 5.0 + kFrame / 2; }, kLong));
    const double afterStep = landedSeconds();
    EXPECT_NEAR(afterStep, 5.0 + kFrame, kFrame / 2) << "one frame forward";
    EXPECT_FALSE(editor->isPlaying());

    clickMiddle(editor->previousButton());
    EXPECT_NEAR(editor->currentPosition() * T, afterStep - 1.0, kFrame / 2) << "one second back";
    EXPECT_NEAR(landedSeconds(), afterStep - 1.0, kFrame / 2);
    EXPECT_NEAR(editor->cutSlider()->currentTime(), afterStep - 1.0, kFrame / 2) << "the slider's cursor follows";

    // Never before the file's start.
    editor->seekframe(0.4 / T);
    editor->previous();
    EXPECT_EQ(editor->currentPosition(), 0.0);
    EXPECT_EQ(editor->startTimeLbl()->textTitle(), "0:00:00.00");
    editor->previous();
    EXPECT_EQ(editor->currentPosition(), 0.0);
    EXPECT_NEAR(landedSeconds(), 0.0, kFrame / 2);

    editor->lastFrame();
    EXPECT_NEAR(landedSeconds(), 9.0, kFrame);
    editor->firstFrame();
    EXPECT_NEAR(editor->currentPosition(), 3.0 / T, 1e-12);
    EXPECT_NEAR(landedSeconds(), 3.0, kFrame);

    // The keyboard while the page has it: Right a frame, Left a second, End and Home the range.
    window.activateWindow();
    editor->cutSlider()->setFocus();
    QTest::keyClick(editor->cutSlider(), Qt::Key_End);
    EXPECT_NEAR(editor->currentPosition() * T, 9.0, 1e-9);
    QTest::keyClick(editor->cutSlider(), Qt::Key_Left);
    EXPECT_NEAR(editor->currentPosition() * T, 8.0, 1e-9);
    EXPECT_NEAR(landedSeconds(), 8.0, kFrame);
    QTest::keyClick(editor->cutSlider(), Qt::Key_Right);
    EXPECT_TRUE(waitFor([&] { return landedSeconds() > 8.0 + kFrame / 2; }, kLong));
    QTest::keyClick(editor->cutSlider(), Qt::Key_Home);
    EXPECT_NEAR(editor->currentPosition() * T, 3.0, 1e-9);

    // Without an item nothing moves.
    editor->previewScreenMovieAutoPlay(nullptr, false);
    editor->previous();
    editor->seekframe(0.5);
    editor->lastFrame();
    EXPECT_EQ(editor->currentPosition(), 0.0);
}

TEST_F(TrimEditor, TrackMenusChooseTheAudioAndTheSubtitleAndAttachASubRipFile) {
    auto multi = item("multi.mkv");
    open(multi);
    ASSERT_TRUE(playable());
    QComboBox *audio = editor->audioTracksBtn();
    QComboBox *subs = editor->subTitlesBtn();
    const auto probe = multi->mediaInfoManager();
    ASSERT_EQ(probe->audioStreamNames().size(), 2);
    ASSERT_EQ(probe->subtitles().size(), 1);
    EXPECT_EQ(entries(audio), probe->audioStreamNames() + QStringList{"Disable Audio"});
    EXPECT_EQ(entries(subs), probe->subtitles() + QStringList({"Disable SubTitle", "Plugin SubTitle"}));
    EXPECT_TRUE(audio->isEnabled());
    EXPECT_EQ(audio->currentIndex(), 0);
    EXPECT_EQ(subs->currentIndex(), 0);

    // The second audio track: the item and the player follow, the host hears of it.
    menuDown(audio);
    EXPECT_EQ(multi->audioStreamIndex(), 1);
    EXPECT_EQ(host.audioChoices, std::vector<int64_t>{1});
    EXPECT_TRUE(waitFor([&] { return editor->playView()->currentAudioStreamNumber() == 2; }, kLong));
    menuDown(audio);
    EXPECT_EQ(multi->audioStreamIndex(), -1) << "Disable Audio";
    EXPECT_TRUE(waitFor([&] { return editor->playView()->currentAudioStreamNumber() == -1; }, kLong));
    menuUp(audio);
    EXPECT_EQ(multi->audioStreamIndex(), 1);

    // "Disable SubTitle", then "Plugin SubTitle" cancelled: the menu goes back, the item stays.
    menuDown(subs);
    EXPECT_EQ(multi->subTitleIndex(), -1);
    EXPECT_EQ(editor->lastSelectIdx(), 1);
    EXPECT_TRUE(waitFor([&] { return editor->playView()->currentSubtitleStreamNumber() == -1; }, kLong));
    menuDown(subs);
    ASSERT_TRUE(editor->subtitleChooser());
    EXPECT_EQ(editor->subtitleChooser()->directory().absolutePath(), QFileInfo(multi->fileName()).absolutePath());
    editor->subtitleChooser()->reject();
    QApplication::processEvents();
    EXPECT_EQ(subs->currentIndex(), 1);
    EXPECT_TRUE(multi->srtSubtitleFile().isEmpty());
    EXPECT_EQ(multi->subTitleIndex(), -1);

    // Accepted: the file is the item's, the player shows it, the menu says so.
    attachThroughMenu(fixture("subs.srt"));
    EXPECT_EQ(multi->srtSubtitleFile(), fixture("subs.srt"));
    EXPECT_EQ(host.attached, QStringList{fixture("subs.srt")});
    EXPECT_EQ(subs->currentIndex(), 2);
    EXPECT_EQ(editor->lastSelectIdx(), 2);
    EXPECT_TRUE(waitFor([&] { return editor->playView()->currentExternalSubtitle().endsWith("subs.srt"); }, kLong));

    // The embedded track again: the external file is dropped.
    menuUp(subs);
    menuUp(subs);
    EXPECT_EQ(multi->subTitleIndex(), 0);
    EXPECT_TRUE(multi->srtSubtitleFile().isEmpty());
    EXPECT_TRUE(waitFor(
        [&] {
            return editor->playView()->currentSubtitleStreamNumber() == 3 &&
                   editor->playView()->currentExternalSubtitle().isEmpty();
        },
        kLong));
    EXPECT_EQ(host.subtitleChoices, (std::vector<int64_t>{-1, -1, 0})) << "Disable SubTitle on the way up";
}

TEST_F(TrimEditor, MenusOfAnItemWithoutAudioOrEmbeddedSubtitles) {
    auto plain = item("anamorphic.mkv");
    plain->setSrtSubtitleFile(fixture("subs.srt"));
    open(plain);
    EXPECT_EQ(entries(editor->audioTracksBtn()), QStringList{"Disable Audio"});
    EXPECT_FALSE(editor->audioTracksBtn()->isEnabled());
    EXPECT_EQ(entries(editor->subTitlesBtn()), (QStringList{"Disable SubTitle", "Plugin SubTitle"}));
    EXPECT_EQ(editor->subTitlesBtn()->currentIndex(), 1) << "an attached file shows as Plugin SubTitle";
    EXPECT_FALSE(editor->existInnerSubTitles());

    // "Disable SubTitle" drops the file; choosing anything else asks for one.
    menuUp(editor->subTitlesBtn());
    EXPECT_TRUE(plain->srtSubtitleFile().isEmpty());
    EXPECT_EQ(plain->subTitleIndex(), -1);
    EXPECT_FALSE(editor->subtitleChooser());
    menuDown(editor->subTitlesBtn());
    EXPECT_TRUE(editor->subtitleChooser());
    editor->subtitleChooser()->reject();
    QApplication::processEvents();
    EXPECT_EQ(editor->subTitlesBtn()->currentIndex(), 0);
}

TEST_F(TrimEditor, MovesThroughTheListAndLeavesThroughTheHost) {
    for (const char *name : {"short.mp4", "clip.mp4", "multi.mkv"}) {
        auto i = item(name);
        i->setEditMovieIndex(host.list.size());
        i->setEditMovieCount(3);
        host.list.push_back(i);
    }
    host.list[1]->setKeptRange(LXKeptRange::fromSeconds(4.0, 10.0));
    open(host.list[0]);
    EXPECT_FALSE(editor->firstButton()->bEnabled());
    EXPECT_TRUE(editor->lastButton()->bEnabled());
    EXPECT_EQ(editor->firstButton()->toolTip(), "goto previous media");
    EXPECT_EQ(editor->lastButton()->toolTip(), "goto next media");

    // Next: the second item plays from its trim start.
    clickMiddle(editor->lastButton());
    EXPECT_EQ(editor->editMovie(), host.list[1]);
    EXPECT_EQ(host.lastFrames, 1);
    EXPECT_TRUE(editor->firstButton()->bEnabled());
    EXPECT_TRUE(editor->lastButton()->bEnabled());
    EXPECT_TRUE(waitFor([&] { return editor->isPlaying(); }, kLong));
    EXPECT_GE(double(editor->playView()->currentTimeUs()) / 1e6, 4.0 - kFrame);

    clickMiddle(editor->lastButton());
    EXPECT_EQ(editor->editMovie(), host.list[2]);
    EXPECT_FALSE(editor->lastButton()->bEnabled());
    EXPECT_EQ(entries(editor->audioTracksBtn()).size(), 3) << "the menus follow the shown item";
    editor->nextMedia(); // past the end: nothing
    EXPECT_EQ(editor->editMovie(), host.list[2]);

    clickMiddle(editor->firstButton());
    EXPECT_EQ(editor->editMovie(), host.list[1]);
    EXPECT_EQ(host.firstFrames, 1);

    // The space-bar notification plays the whole file; the back button goes to the host.
    editor->pauseWhenPlay();
    foundation::NotificationCenter::defaultCenter().post(LXPlayerController::kGlobalSpaceDownKey);
    QApplication::processEvents();
    EXPECT_TRUE(waitFor([&] { return editor->isPlaying(); }, kLong));
    EXPECT_FALSE(editor->bInRangeMode());
    clickMiddle(editor->backToHome());
    EXPECT_EQ(host.backs, 1);

    // A list of one: neither way is open.
    host.list.resize(1);
    host.list[0]->setEditMovieCount(1);
    editor->previewScreenMovieAutoPlay(host.list[0], false);
    EXPECT_FALSE(editor->firstButton()->bEnabled());
    EXPECT_FALSE(editor->lastButton()->bEnabled());
}

TEST_F(TrimEditor, ExportToAFileKeepsTheRangeAndTheChosenAudio) {
    auto multi = item("multi.mkv");
    const QString path = QDir(testsupport::freshDir("editor-file")).filePath("trip.mkv");
    open(multi, path);
    ASSERT_TRUE(playable());
    keepFromPlayPosition(2.0, 6.5);
    menuDown(editor->audioTracksBtn());
    attachThroughMenu(fixture("subs.srt"));
    ASSERT_EQ(multi->srtSubtitleFile(), fixture("subs.srt"));

    chooseExport(LXMediaConvertController::Local);
    EXPECT_EQ(editor->exportType(), 0);
    LXExportWindowController *w = sheet();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->parentWidget(), &window);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(waitFor([&] { return editor->exportTypePopupBtn()->drawStr() == "Export"; }, 2000));
    ASSERT_TRUE(waitFor([&] { return w->exportState() == State::Finished; }, kConvert));
    EXPECT_EQ(shownPercent(w), 100.0);

    EXPECT_NEAR(videoDuration(path), 4.5, kFrame + 1e-6);
    // The second track is the mono one at 44.1 kHz (the first is stereo at 48 kHz).
    const QJsonObject a = streamOf(path, "audio");
    EXPECT_EQ(a.value("channels").toInt(), 1);
    EXPECT_EQ(a.value("sample_rate").toString(), "44100");
    clickMiddle(w->closeButton());
    EXPECT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }));
}

TEST_F(TrimEditor, ExportToTheMediaLibraryPlacesTheFileInTheVideosFolder) {
    auto clip = item("clip.mp4");
    open(clip);
    ASSERT_TRUE(playable());
    keepFromPlayPosition(2.0, 6.5);
    chooseExport(LXMediaConvertController::ITunes);
    EXPECT_EQ(editor->exportType(), 1);
    QPointer<LXExportWindowController> w = sheet();
    ASSERT_TRUE(w);
    EXPECT_TRUE(dynamic_cast<LXiTunesExportWindowController *>(w.data()));
    ASSERT_TRUE(waitFor([&] { return !w || w->exportState() == State::Closed; }, kConvert));
    ASSERT_TRUE(LXiTunesExportWindowController::waitForHandOffs(30000));
    const QString videos = QDir::home().filePath("Videos/" + foundation::BundleInfo::name());
    const QStringList placed = filesIn(videos).filter("clip");
    ASSERT_EQ(placed.size(), 1) << filesIn(videos).join(", ").toStdString();
    EXPECT_NEAR(videoDuration(QDir(videos).filePath(placed.first())), 4.5, kFrame + 1e-6);
    EXPECT_TRUE(filesIn(LXMediaCommon::exportMovieFolder()).filter("clip").size() <= 1) << "no second copy";
}

TEST_F(TrimEditor, CancellingAnExportHalfwayLeavesNoFile) {
    auto clip = item("clip.mp4");
    clip->setWidth(1280);
    clip->setHeight(960);
    clip->setVCodecs({"h264"});
    clip->setOutputFormat("mp4");
    clip->setOutputExt(".mp4");
    const QString dir = testsupport::freshDir("editor-cancel");
    open(clip, QDir(dir).filePath("clip.mp4"));
    chooseExport(LXMediaConvertController::Local);
    auto c = editor->lastExport();
    ASSERT_TRUE(c);
    QPointer<LXExportWindowController> w = c->exportWindow();
    ASSERT_TRUE(waitFor([&] { return shownPercent(w) > 2.0; }, 60000));
    ASSERT_TRUE(c->conversion()->isRunning()) << "the conversion was too quick to cancel halfway";
    // While the cancel question is open the export holds.
    answer.reset();
    clickMiddle(w->cancelButton());
    ASSERT_EQ(asked.size(), 1u) << "the sheet asks first";
    EXPECT_TRUE(c->conversion()->isPaused());
    auto boxes = w->findChildren<QMessageBox *>();
    ASSERT_EQ(boxes.size(), 1);
    for (QAbstractButton *b : boxes[0]->buttons())
        if (boxes[0]->buttonRole(b) == QMessageBox::AcceptRole || boxes[0]->buttonRole(b) == QMessageBox::YesRole)
            b->click();
    ASSERT_TRUE(waitFor([&] { return !w || w->exportState() == State::Closed; }, 20000));
    EXPECT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }));
    EXPECT_TRUE(filesIn(dir).isEmpty()) << filesIn(dir).join(", ").toStdString();
}

TEST_F(TrimEditor, AnUnavailableDestinationIsRefusedAndTheMenuTitleReturns) {
    LXExportWindowController::registerWindowClass("LXFaceBookShareWindowController", nullptr);
    open(item("short.mp4"));
    chooseExport(LXMediaConvertController::Facebook);
    EXPECT_EQ(editor->exportType(), 2);
    EXPECT_FALSE(editor->lastExport());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "Exporting to Facebook is not available in this version.");
    EXPECT_EQ(editor->exportTypePopupBtn()->drawStr(), "Facebook");
    EXPECT_TRUE(waitFor([&] { return editor->exportTypePopupBtn()->drawStr() == "Export"; }, 2000));
    LXExportWindowController::registerWindowClass(
        "LXFaceBookShareWindowController", [] { return LXFaceBookShareWindowController::shareWindowController(); });
}

TEST_F(TrimEditor, RendersTheEditorPageAndTheExportSheet) {
    auto multi = item("multi.mkv");
    const QString dir = testsupport::freshDir("editor-shots");
    multi->setWidth(1280);
    multi->setHeight(960);
    multi->setVCodecs({"h264"});
    multi->setOutputFormat("mp4");
    multi->setOutputExt(".mp4");
    open(multi, QDir(dir).filePath("shot.mp4"));
    ASSERT_TRUE(playable());
    keepFromPlayPosition(4.0, 15.0);
    menuDown(editor->audioTracksBtn());
    editor->seekframe(8.0 / multi->totalDuration());
    ASSERT_TRUE(waitFor(
        [&] { return !editor->playView()->isSeeking() && !editor->playView()->currentFrame().isNull(); }, kLong));
    waitFor([] { return false; }, 300);
    const QString shots = QStringLiteral(CINVORA_BUILD_DIR "/shots");
    QDir().mkpath(shots);
    EXPECT_TRUE(window.grab().save(shots + "/editor-page.png"));

    // The sheet over the page while it converts: the window with the sheet drawn where it hangs.
    chooseExport(LXMediaConvertController::Local);
    QPointer<LXExportWindowController> w = sheet();
    ASSERT_TRUE(w);
    ASSERT_TRUE(waitFor([&] { return shownPercent(w) > 5.0; }, 60000));
    QApplication::processEvents();
    QPixmap page = window.grab();
    {
        QPainter p(&page);
        p.fillRect(page.rect(), QColor(0, 0, 0, 90));
        p.drawPixmap(window.mapFromGlobal(w->mapToGlobal(QPoint(0, 0))), w->grab());
    }
    // (export-sheet.png is the sheet by itself, from the sheet's own tests.)
    EXPECT_TRUE(page.save(shots + "/editor-export-sheet.png"));
}
