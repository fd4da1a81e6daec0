// The whole road of files through the main window, driven through its widgets: drops,
// the format grid, the convert toggle, the rows' buttons, keys, the close guard, restart.
#include "WindowDriver.h"

#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXSlider.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <map>

using namespace windowtest;
using testsupport::fixture;
using testsupport::waitFor;

namespace {

// What a row's status label has shown, in order, without repeats.
struct StatusLog {
    std::map<const vcTableCellView *, QStringList> texts;
    // Seen at one moment: two rows converting while the third waits for a slot.
    bool sawTwoConvertingOneWaiting = false;
    void sample(Session &s) {
        int left = 0, waiting = 0;
        for (const auto &job : s.doc().cellArray()) {
            vcTableCellWidget *w = s.window->comboBoxTableView()->widgetForJob(job.get());
            if (!w)
                continue;
            const QString t = w->finishedLbl()->isHidden() ? QStringLiteral("<hidden>") : w->finishedLbl()->textTitle();
            QStringList &seen = texts[job.get()];
            if (seen.isEmpty() || seen.last() != t)
                seen << t;
            left += t.startsWith(QStringLiteral("Left time: "));
            waiting += t == vcTableCellView::waitingText();
        }
        if (left == 2 && waiting == 1)
            sawTwoConvertingOneWaiting = true;
    }
    static qsizetype indexOf(const QStringList &l, const QString &prefix, qsizetype from = 0) {
        for (qsizetype i = from; i < l.size(); ++i)
            if (prefix.isEmpty() ? l[i].isEmpty() : l[i].startsWith(prefix))
                return i;
        return -1;
    }
};

bool quiet(Session &s, int timeoutMs = 240000) {
    return waitFor(
        [&] {
            if (s.doc().currentSessionCount() != 0)
                return false;
            for (const auto &r : s.doc().cellArray())
                if (r->hasSession() && !r->isPaused())
                    return false;
            return true;
        },
        timeoutMs);
}

int converting(Session &s) {
    int n = 0;
    for (const auto &r : s.doc().cellArray())
        n += r->aleadyStart() && !r->isPaused() && !r->finished();
    return n;
}

QString statusOf(Session &s, int i) {
    vcTableCellWidget *w = s.row(i);
    return w && !w->finishedLbl()->isHidden() ? w->finishedLbl()->textTitle() : QStringLiteral("<hidden>");
}

void upscale(Session &s) {
    for (const auto &row : s.doc().cellArray())
        if (const LXMediaInfoPtr item = row->editMovie(); item->bSourceIsVideo()) {
            item->setWidth(1280);
            item->setHeight(720);
        }
}

} // namespace

TEST(WindowRoad, DropPickConvertWatchRevealAndFinish) {
    Session s(2);
    ASSERT_TRUE(s.window->tipView()->isVisible());
    EXPECT_FALSE(s.window->wrConvertBtn()->bEnabled());
    // Three files, the last audio only, dropped on the empty list's tip.
    ASSERT_TRUE(s.add({fixture("short.mp4"), fixture("mpeg4.avi"), fixture("audio.mp3")}));
    ASSERT_EQ(s.doc().numberOfRows(), 3);
    EXPECT_FALSE(s.window->tipView()->isVisible());
    EXPECT_TRUE(s.window->wrConvertBtn()->bEnabled());
    EXPECT_EQ(s.window->itemCountLbl()->textTitle(), "3 items");
    // The first new row is selected and previewed.
    EXPECT_EQ(s.doc().currentIndex(), 0);
    EXPECT_TRUE(s.row(0)->isSelectedRow());
    EXPECT_FALSE(s.row(1)->isSelectedRow());
    EXPECT_EQ(s.window->mainPreviewView()->item(), s.doc().itemAt(0));
    // The audio row shows no frame size; its duration starts the info line.
    vcTableCellWidget *audio = s.row(2);
    EXPECT_TRUE(audio->resolutionLabel()->isHidden());
    EXPECT_EQ(LXGeometry::frameOf(audio->durationIcon()).x(), 5);
    EXPECT_EQ(audio->durationLabel()->textTitle(), "00:10");
    EXPECT_EQ(s.row(0)->resolutionLabel()->textTitle(), "320*240");
    EXPECT_EQ(s.row(0)->fmtLabel()->textTitle(), "mov");
    EXPECT_EQ(audio->fmtLabel()->textTitle(), "mp3");

    // A format from the grid: "Common Video" then its "MP4" picture.
    click(s.category("Common Video"));
    EXPECT_EQ(s.window->thumbImageTableView()->currentKey(), "Common Video");
    LXImageCellView *mp4 = s.cell("MP4");
    ASSERT_NE(mp4, nullptr);
    click(mp4, QPointF(30, 60));
    EXPECT_TRUE(mp4->bSelected());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s.doc().itemAt(i)->outputExt(), ".mp4") << i;
        EXPECT_EQ(s.row(i)->fmtLabel()->textTitle(), "mp4") << i;
    }
    // Long enough to be watched: the videos are scaled up.
    upscale(s);

    StatusLog log;
    click(s.window->wrConvertBtn());
    EXPECT_TRUE(s.doc().wrBConverted());
    ASSERT_TRUE(waitFor(
        [&] {
            log.sample(s);
            if (s.doc().currentSessionCount() != 0)
                return false;
            for (const auto &r : s.doc().cellArray())
                if (r->hasSession())
                    return false;
            return true;
        },
        240000));
    log.sample(s);

    EXPECT_TRUE(log.sawTwoConvertingOneWaiting);
    for (int i = 0; i < 3; ++i) {
        const QStringList seen = log.texts[s.job(i).get()];
        SCOPED_TRACE(seen.join(" | ").toStdString());
        const qsizetype waiting = StatusLog::indexOf(seen, vcTableCellView::waitingText());
        ASSERT_GE(waiting, 0) << i;
        // A remaining time is shown only once a rate has been measured: the upscaled videos
        // last long enough for one, the sound alone may be done before it.
        const qsizetype left = StatusLog::indexOf(seen, "Left time: ");
        if (i < 2) {
            ASSERT_GE(left, 0) << i;
        }
        if (left >= 0) {
            EXPECT_LT(waiting, left);
        }
        EXPECT_GE(StatusLog::indexOf(seen, QString(), std::max(left, waiting)), 0) << i; // the empty end text
        EXPECT_EQ(seen.last(), QString()) << i;
        vcTableCellWidget *w = s.row(i);
        EXPECT_FALSE(w->deleteItemBtn()->isHidden());
        EXPECT_TRUE(w->stopConvert()->isHidden());
        EXPECT_TRUE(w->prgSlider()->isHidden());
        EXPECT_FALSE(w->fmtInfoBaseView()->isHidden());
    }
    // The toggle is back to its convert look.
    EXPECT_FALSE(s.doc().wrBConverted());
    EXPECT_EQ(s.window->wrConvertBtn()->normalImage().toImage(), LXImage::named("ODConvertNormal.png").toImage());

    // Outputs on disk, in the export folder, readable.
    const QStringList outputs = QDir(s.out).entryList({"*.mp4"}, QDir::Files, QDir::Name);
    EXPECT_EQ(outputs, QStringList({"audio.mp4", "mpeg4.mp4", "short.mp4"}));
    for (const QString &name : outputs) {
        const QJsonObject probe = testsupport::ffprobe(QDir(s.out).filePath(name));
        EXPECT_GT(probe["format"].toObject()["duration"].toString().toDouble(), 1.0) << name.toStdString();
    }
    const QJsonObject video = testsupport::ffprobe(QDir(s.out).filePath("short.mp4"));
    EXPECT_EQ(video["streams"].toArray()[0].toObject()["width"].toInt(), 1280);

    // A row's reveal button shows its output; once the output is gone, the source.
    s.revealed.clear();
    click(s.row(0)->odBrowserBtn());
    ASSERT_EQ(s.revealed.size(), 1);
    EXPECT_EQ(s.revealed.last(), "show " + QDir(s.out).filePath("short.mp4"));
    QFile::remove(QDir(s.out).filePath("short.mp4"));
    click(s.row(0)->odBrowserBtn());
    EXPECT_EQ(s.revealed.last(), "show " + fixture("short.mp4"));
    // The bar's reveal button shows the export folder.
    click(s.window->wrBrowserBtn());
    EXPECT_EQ(s.revealed.last(), "show " + s.out);
    // Nothing converts now: the window closes without asking.
    s.questions.clear();
    EXPECT_TRUE(s.window->close());
    EXPECT_TRUE(s.questions.isEmpty());
}

TEST(WindowRoad, PauseResumeStopDeleteAndCloseThroughTheirControls) {
    Session s(2);
    // Three long conversions, so that one always waits while two run.
    const QString dir = testsupport::freshDir("long");
    QStringList sources;
    for (const char *name : {"first.mp4", "second.mp4", "third.mp4"}) {
        ASSERT_TRUE(QFile::copy(fixture("clip.mp4"), QDir(dir).filePath(name)));
        sources << QDir(dir).filePath(name);
    }
    ASSERT_TRUE(s.add(sources));
    upscale(s);
    auto runningRows = [&] {
        QList<int> rows;
        for (int i = 0; i < s.doc().numberOfRows(); ++i)
            if (s.job(i)->aleadyStart() && !s.job(i)->isPaused())
                rows << i;
        return rows;
    };
    click(s.window->wrConvertBtn());
    ASSERT_TRUE(waitFor(
        [&] {
            const QList<int> rows = runningRows();
            return rows.size() == 2 && statusOf(s, rows[0]).startsWith("Left time: ") &&
                   statusOf(s, rows[1]).startsWith("Left time: ");
        },
        60000));
    const QList<int> first = runningRows();
    const int queued = 3 - first[0] - first[1];
    EXPECT_EQ(statusOf(s, queued), vcTableCellView::waitingText());
    EXPECT_EQ(s.window->wrConvertBtn()->textTitle().trimmed(), "Pause");

    // Pause through the toggle: the two converting rows pause, the waiting one is stopped.
    click(s.window->wrConvertBtn());
    ASSERT_TRUE(waitFor([&] { return statusOf(s, first[0]) == "Paused" && statusOf(s, first[1]) == "Paused"; }, 30000));
    ASSERT_TRUE(waitFor([&] { return s.doc().currentSessionCount() == 0 && !s.job(queued)->hasSession(); }, 30000));
    EXPECT_EQ(statusOf(s, queued), vcTableCellView::stoppedText());
    EXPECT_FALSE(s.row(queued)->deleteItemBtn()->isHidden());
    EXPECT_EQ(s.window->wrConvertBtn()->textTitle().trimmed(), "Convert");
    const double pausedAt = s.row(first[0])->prgSlider()->sliderPos();
    EXPECT_GT(pausedAt, 0.0);

    // Resume through the toggle: all three want a slot again; two get one, one waits.
    click(s.window->wrConvertBtn());
    EXPECT_EQ(s.window->wrConvertBtn()->textTitle().trimmed(), "Pause");
    ASSERT_TRUE(waitFor([&] { return runningRows().size() == 2; }, 30000));
    const QList<int> second = runningRows();
    for (int i : second)
        ASSERT_TRUE(waitFor([&] { return statusOf(s, i).startsWith("Left time: "); }, 30000)) << i;
    const int waiting = 3 - second[0] - second[1];
    EXPECT_EQ(statusOf(s, waiting), vcTableCellView::waitingText());
    // A resumed row goes on from where it paused.
    EXPECT_GE(s.row(first[0])->prgSlider()->sliderPos(), pausedAt - 0.02);

    // Stop a converting row with its own stop button; the waiting row gets its slot.
    const int stopped = second[0];
    const int other = second[1];
    vcTableCellWidget *row = s.row(stopped);
    ASSERT_FALSE(row->stopConvert()->isHidden());
    click(row->stopConvert());
    EXPECT_EQ(statusOf(s, stopped), "<hidden>");
    ASSERT_TRUE(waitFor([&] { return !s.job(stopped)->hasSession(); }, 30000));
    EXPECT_TRUE(s.row(stopped)->stopConvert()->isHidden());
    EXPECT_FALSE(s.row(stopped)->deleteItemBtn()->isHidden());
    ASSERT_TRUE(waitFor([&] { return s.job(waiting)->aleadyStart(); }, 60000));
    ASSERT_TRUE(waitFor([&] { return statusOf(s, waiting).startsWith("Left time: "); }, 30000));
    ASSERT_TRUE(s.job(other)->aleadyStart() && !s.job(other)->isPaused());

    // Delete a converting row: select it, press Delete, answer the question.
    const vcTableCellViewPtr doomed = s.job(other);
    click(s.row(other), QPointF(200, 20));
    ASSERT_EQ(s.doc().currentIndex(), other);
    s.questions.clear();
    s.answers = {foundation::AlertButton::Default};
    s.key(Qt::Key_Delete);
    ASSERT_EQ(s.questions, QStringList({foundation::tr_("ISCONVERTING")}));
    EXPECT_EQ(s.doc().numberOfRows(), 3); // "No" keeps it
    EXPECT_FALSE(doomed->isCancel());
    s.answers = {foundation::AlertButton::Alternate};
    s.key(Qt::Key_Delete);
    EXPECT_EQ(s.doc().numberOfRows(), 2);
    EXPECT_TRUE(doomed->isCancel());
    EXPECT_EQ(s.window->comboBoxTableView()->widgetForJob(doomed.get()), nullptr);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(s.job(i)->idx(), i);
    EXPECT_EQ(s.window->itemCountLbl()->textTitle(), "2 items");

    // Close while converting: "No" keeps the window and its conversions, "Yes" stops them
    // and closes it.
    click(s.window->wrConvertBtn()); // pauses whatever still runs
    click(s.window->wrConvertBtn()); // and converts every row again
    ASSERT_TRUE(waitFor([&] { return converting(s) >= 1; }, 30000));
    s.questions.clear();
    s.answers = {foundation::AlertButton::Default};
    EXPECT_FALSE(s.window->close());
    EXPECT_TRUE(s.window->isVisible());
    EXPECT_EQ(s.questions, QStringList({foundation::tr_("CLOSEAPP")}));
    EXPECT_GE(converting(s), 1);
    s.answers = {foundation::AlertButton::Alternate};
    s.window->close();
    EXPECT_FALSE(s.window->isVisible());
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(!s.job(i)->hasSession() || s.job(i)->isCancel()) << i;
    EXPECT_TRUE(quiet(s));
}

TEST(WindowRoad, ARestartFindsTheListWithTrimsAndTracks) {
    Session s(2);
    ASSERT_TRUE(s.add({fixture("short.mp4"), fixture("multi.mkv")}));
    const LXMediaInfoPtr a = s.doc().itemAt(0), b = s.doc().itemAt(1);
    a->setKeptRange(LXKeptRange::fromSeconds(1.0, 3.0));
    b->setKeptRange(LXKeptRange::fromSeconds(2.5, 20.0));
    b->setAudioStreamIndex(1);
    b->setSubTitleIndex(-1);
    // Returning from the editor page saves the list.
    s.window->beginToEditMovie();
    EXPECT_TRUE(s.window->isEditPageShown());
    s.window->backToMainPage();
    EXPECT_FALSE(s.window->isEditPageShown());
    EXPECT_EQ(s.row(0)->durationLabel()->textTitle(), "00:02");

    EXPECT_TRUE(s.window->close());
    s.window.reset();
    s.open();
    ASSERT_TRUE(s.idle());
    ASSERT_EQ(s.doc().numberOfRows(), 2);
    const LXMediaInfoPtr ra = s.doc().itemAt(0), rb = s.doc().itemAt(1);
    EXPECT_EQ(ra->fileName(), fixture("short.mp4"));
    EXPECT_DOUBLE_EQ(ra->trackStart(), 1.0);
    EXPECT_DOUBLE_EQ(ra->trackEnd(), 3.0);
    EXPECT_EQ(rb->fileName(), fixture("multi.mkv"));
    EXPECT_DOUBLE_EQ(rb->trackStart(), 2.5);
    EXPECT_DOUBLE_EQ(rb->trackEnd(), 20.0);
    EXPECT_EQ(rb->audioStreamIndex(), 1);
    EXPECT_EQ(rb->subTitleIndex(), -1);
    EXPECT_EQ(s.row(0)->durationLabel()->textTitle(), "00:02");
    EXPECT_EQ(s.row(1)->durationLabel()->textTitle(), "00:17");
    EXPECT_EQ(s.doc().currentIndex(), 0);
    EXPECT_FALSE(s.window->tipView()->isVisible());
}
