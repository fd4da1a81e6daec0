// The parameter editor: its two layouts, what the pop-ups show, and Save and Cancel applied
// to a document's jobs.
#include "ODDocument.h"
#include "ODMediaInfoEdit.h"

#include <glazeform/LXButton.h>
#include <glazeform/LXGeometry.h>
#include <glazeform/LXView.h>

#include "TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDir>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::fixture;

namespace {

void click(QWidget *w) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
}

// The user picks an entry with the keyboard, as from the open list.
void choose(QComboBox *box, const QString &text) {
    const int target = box->findText(text);
    ASSERT_GE(target, 0) << text.toStdString();
    box->setFocus();
    while (box->currentIndex() != target) {
        const int before = box->currentIndex();
        QTest::keyClick(box, box->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
        ASSERT_NE(box->currentIndex(), before) << "the pop-up did not move";
    }
}

QStringList texts(const QComboBox *box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// Forwards the editor's result to the document, as the main window does.
struct Forward : ODMediaInfoEditDelegate {
    ODDocument *doc = nullptr;
    int saves = 0;
    void saveMediaInfo(const LXMediaInfo &edited) override {
        ++saves;
        doc->saveMediaInfo(edited);
    }
};

class Editor : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(900, 640);
        window.show();
        doc.setUsesHistory(false);
        forward.doc = &doc;
    }
    void TearDown() override {
        delete editor;
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // Three jobs with smaller, larger and equal sources, sharing one set of lists.
    void addJobs() {
        for (const char *name : {"clip.mp4", "hd1080.mp4", "short.mp4"})
            doc.addMovie(doc.initEditMovieWithPath(fixture(name)));
        for (const auto &row : doc.cellArray()) {
            const LXMediaInfoPtr job = row->editMovie();
            job->setResolutions({{1280, 720}, {800, 600}, {640, 480}});
            job->setResolutionIndex(3); // the "(Defaults)" entry
            job->setFrameRates({23.976, 25, 29.97});
            job->setFrameRateIndex(1);
            job->setSampleRates({44100, 48000});
            job->setSampleRateIndex(0);
            job->setChannels({2, 1});
            job->setChannelIndex(0);
            job->setVCodecs({"h264", "mpeg4"});
            job->setVCodecIndex(0);
            job->setACodecs({"aac", "alac", "pcm_s16le"});
            job->setACodecIndex(0);
        }
    }
    ODMediaInfoEdit *open(const LXMediaInfoPtr &job) {
        editor = ODMediaInfoEdit::shareODMediaInfoEditEditMovieWithDelegate(&window, job, &forward);
        return editor;
    }
    void shot(const QString &name) {
        const QString dir = QStringLiteral(CINVORA_BUILD_DIR "/shots");
        QDir().mkpath(dir);
        EXPECT_TRUE(editor->grab().save(dir + "/" + name));
    }

    QWidget window;
    ODDocument doc;
    Forward forward;
    QPointer<ODMediaInfoEdit> editor;
};

} // namespace

TEST_F(Editor, VideoJobShowsBothPartsWithTheDefaultsEntrySelected) {
    addJobs();
    ASSERT_TRUE(open(doc.itemAt(0)));
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Video Information"));
    EXPECT_EQ(editor->height(), ODMediaInfoEdit::kHeight);
    EXPECT_TRUE(editor->isModal());
    EXPECT_TRUE(editor->videoBox()->isVisible());
    EXPECT_TRUE(editor->audioBox()->isVisible());
    // Centred on the parent window.
    EXPECT_NEAR(editor->frameGeometry().center().x(), window.frameGeometry().center().x(), 2);

    EXPECT_EQ(texts(editor->videoResolutionPopBtn()),
              QStringList({"1280*720", "800*600", "640*480", "(Defaults) 320*240"}));
    EXPECT_EQ(editor->videoResolutionPopBtn()->currentText(), QStringLiteral("(Defaults) 320*240"));
    // Rates and counts as whole numbers.
    EXPECT_EQ(texts(editor->videoFrameRatePopBtn()), QStringList({"23", "25", "29"}));
    EXPECT_EQ(editor->videoFrameRatePopBtn()->currentText(), QStringLiteral("25"));
    EXPECT_EQ(texts(editor->audioSampleRatePopBtn()), QStringList({"44100", "48000"}));
    EXPECT_EQ(texts(editor->audioChannelPopBtn()), QStringList({"2", "1"}));
    EXPECT_EQ(editor->videoCodecPopBtn()->currentText(), QStringLiteral("h264"));
    EXPECT_EQ(editor->audioCodecPopBtn()->currentText(), QStringLiteral("aac"));
    EXPECT_EQ(editor->videoSubTitlePopBtn()->count(), 0);
    EXPECT_EQ(editor->audioTrackPopBtn()->count(), 0);
    // The quality, from the item, named for screen readers by its caption.
    EXPECT_EQ(texts(editor->qualityPopBtn()), ODMediaInfoEdit::qualityNames());
    EXPECT_EQ(editor->qualityPopBtn()->currentIndex(), 0);
    EXPECT_EQ(editor->qualityPopBtn()->accessibleName(), QStringLiteral("Quality"));
    EXPECT_TRUE(editor->qualityBox()->isVisible());
    shot(QStringLiteral("media-info-edit.png"));
}

TEST_F(Editor, AudioOnlyJobsGetTheAudioPartAlone) {
    addJobs();
    doc.addMovie(doc.initEditMovieWithPath(fixture("audio.mp3")));
    const LXMediaInfoPtr audio = doc.itemAt(doc.numberOfRows() - 1);
    ASSERT_FALSE(audio->bSourceIsVideo());
    for (const LXMediaInfoPtr &job : {audio, doc.itemAt(1)}) {
        // A video source whose output keeps no video counts as audio as well.
        if (job->bSourceIsVideo())
            job->setBOutputIsVideo(false);
        ASSERT_TRUE(open(job));
        EXPECT_TRUE(editor->isAudioOnly());
        EXPECT_EQ(editor->windowTitle(), QStringLiteral("Audio Information"));
        EXPECT_EQ(editor->height(), ODMediaInfoEdit::kAudioOnlyHeight);
        EXPECT_FALSE(editor->videoBox()->isVisible());
        EXPECT_FALSE(editor->targetBox()->isVisible()) << "a size or quality target steers the picture";
        ASSERT_TRUE(editor->audioBox()->isVisible());
        const QRectF audio = LXGeometry::frameOf(editor->audioBox());
        EXPECT_EQ(audio.y(), LXGeometry::frameOf(editor->targetBox()).y());
        EXPECT_LE(audio.y() + audio.height(), editor->height());
        // Sound has a quality too: the quality part stays, below the audio part.
        ASSERT_TRUE(editor->qualityBox()->isVisible());
        const QRectF quality = LXGeometry::frameOf(editor->qualityBox());
        EXPECT_LE(quality.y() + quality.height(), audio.y());
        EXPECT_GT(editor->qualityPopBtn()->count(), 0);
        EXPECT_EQ(editor->videoResolutionPopBtn()->count(), 0);
        EXPECT_GT(editor->audioCodecPopBtn()->count(), 0);
        EXPECT_EQ(editor->audioCodecPopBtn()->currentIndex(), job->aCodecIndex());
        if (!job->bSourceIsVideo())
            shot(QStringLiteral("media-info-edit-audio.png"));
        delete editor;
    }
}

TEST_F(Editor, ChosenFrameSizeAndCodecsReachEveryJobOnSave) {
    addJobs();
    ASSERT_TRUE(open(doc.itemAt(0)));
    choose(editor->videoResolutionPopBtn(), "800*600");
    EXPECT_EQ(editor->editMovie()->width(), 800u);
    EXPECT_EQ(editor->editMovie()->height(), 600u);
    choose(editor->audioCodecPopBtn(), "alac");
    choose(editor->audioSampleRatePopBtn(), "48000");
    choose(editor->qualityPopBtn(), ODMediaInfoEdit::qualityNames().at(2));
    EXPECT_EQ(editor->editMovie()->outputQuality(), LXQuality::Low);
    // Nothing changes before Save.
    EXPECT_EQ(doc.itemAt(0)->outputQuality(), LXQuality::High);
    EXPECT_EQ(doc.itemAt(0)->resolutionIndex(), 3);
    click(editor->saveButton());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(editor.isNull()) << "the window goes away when it closes";
    EXPECT_EQ(forward.saves, 1);
    for (const auto &row : doc.cellArray()) {
        const LXMediaInfoPtr job = row->editMovie();
        EXPECT_EQ(job->width(), 800u) << job->fileName().toStdString();
        EXPECT_EQ(job->height(), 600u);
        EXPECT_EQ(job->resolutionIndex(), 1);
        EXPECT_EQ(job->aCodecIndex(), 1);
        EXPECT_EQ(job->sampleRateIndex(), 1);
        EXPECT_EQ(job->vCodecIndex(), 0);
        EXPECT_EQ(job->outputQuality(), LXQuality::Low);
    }

    // Back to "(Defaults)": every job gets its own source size again.
    ASSERT_TRUE(open(doc.itemAt(1)));
    EXPECT_EQ(editor->videoResolutionPopBtn()->currentText(), QStringLiteral("800*600"));
    choose(editor->videoResolutionPopBtn(), "(Defaults) 1920*1080");
    click(editor->saveButton());
    EXPECT_EQ(doc.itemAt(0)->width(), 320u);
    EXPECT_EQ(doc.itemAt(1)->width(), 1920u);
    EXPECT_EQ(doc.itemAt(1)->height(), 1080u);
    EXPECT_EQ(doc.itemAt(2)->height(), 240u);
}

TEST_F(Editor, FitInAndTargetQualityAreOneChoiceMadeByKeysAndSavedForEveryJob) {
    addJobs();
    ASSERT_TRUE(open(doc.itemAt(0)));
    ASSERT_TRUE(editor->targetBox()->isVisible());
    QDoubleSpinBox *fit = editor->fitInField();
    QComboBox *target = editor->targetPopBtn();
    EXPECT_EQ(fit->accessibleName(), QStringLiteral("Fit in"));
    EXPECT_EQ(target->accessibleName(), QStringLiteral("Target quality"));
    EXPECT_EQ(texts(target), ODMediaInfoEdit::targetNames());
    EXPECT_EQ(target->currentIndex(), 0);
    EXPECT_EQ(fit->text(), QStringLiteral("No limit"));
    // Tab goes from the quality to the size, then to the target.
    editor->qualityPopBtn()->setFocus();
    QTest::keyClick(editor->qualityPopBtn(), Qt::Key_Tab);
    EXPECT_EQ(editor->focusWidget(), fit);
    fit->selectAll();
    QTest::keyClicks(fit, QStringLiteral("25"));
    QTest::keyClick(fit, Qt::Key_Return);
    EXPECT_EQ(editor->editMovie()->outputGoal(), LXOutputGoal::fitIn(25'000'000));
    QTest::keyClick(fit, Qt::Key_Tab);
    EXPECT_EQ(editor->focusWidget(), target);
    // A target takes the size's place, and a size the target's.
    choose(target, ODMediaInfoEdit::targetNames().at(2));
    EXPECT_EQ(editor->editMovie()->outputGoal(), LXOutputGoal::quality(0.98));
    EXPECT_EQ(fit->value(), 0.0);
    fit->setFocus();
    fit->selectAll();
    QTest::keyClicks(fit, QStringLiteral("8"));
    QTest::keyClick(fit, Qt::Key_Return);
    EXPECT_EQ(editor->editMovie()->outputGoal(), LXOutputGoal::fitIn(8'000'000));
    EXPECT_EQ(target->currentIndex(), 0);
    shot(QStringLiteral("media-info-edit-target.png"));
    EXPECT_TRUE(doc.itemAt(0)->outputGoal().isNone()) << "nothing changes before Save";
    click(editor->saveButton());
    for (const auto &row : doc.cellArray())
        EXPECT_EQ(row->editMovie()->outputGoal(), LXOutputGoal::fitIn(8'000'000));

    // Opened again it shows what was saved; "None" then leaves the size alone, and a size
    // of 0 takes it away.
    ASSERT_TRUE(open(doc.itemAt(2)));
    EXPECT_EQ(editor->fitInField()->value(), 8.0);
    choose(editor->targetPopBtn(), ODMediaInfoEdit::targetNames().at(1));
    choose(editor->targetPopBtn(), ODMediaInfoEdit::targetNames().at(0));
    EXPECT_TRUE(editor->editMovie()->outputGoal().isNone());
    click(editor->saveButton());
    EXPECT_TRUE(doc.itemAt(1)->outputGoal().isNone());

    // A target set elsewhere (the saved list, by hand) shows as it is.
    doc.itemAt(0)->setOutputGoal(LXOutputGoal::quality(0.95));
    ASSERT_TRUE(open(doc.itemAt(0)));
    EXPECT_EQ(editor->targetPopBtn()->currentText(), QStringLiteral("SSIM 0.950"));
    click(editor->cancelButton());
    EXPECT_EQ(doc.itemAt(0)->outputGoal(), LXOutputGoal::quality(0.95));
}

TEST_F(Editor, CancelLeavesEveryJobAsItWas) {
    addJobs();
    auto snapshot = [&] {
        QStringList s;
        for (const auto &row : doc.cellArray()) {
            const LXMediaInfoPtr job = row->editMovie();
            s << QString("%1 %2 %3 %4 %5 %6 %7 %8 %9")
                     .arg(job->width())
                     .arg(job->height())
                     .arg(job->resolutionIndex())
                     .arg(job->vCodecIndex())
                     .arg(job->frameRateIndex())
                     .arg(job->aCodecIndex())
                     .arg(job->channelIndex())
                     .arg(job->sampleRateIndex())
                     .arg(int(job->outputQuality()));
        }
        return s;
    };
    const QStringList before = snapshot();
    ASSERT_TRUE(open(doc.itemAt(0)));
    choose(editor->videoResolutionPopBtn(), "640*480");
    choose(editor->videoCodecPopBtn(), "mpeg4");
    choose(editor->videoFrameRatePopBtn(), "29");
    choose(editor->audioCodecPopBtn(), "pcm_s16le");
    choose(editor->audioChannelPopBtn(), "1");
    choose(editor->audioSampleRatePopBtn(), "48000");
    choose(editor->qualityPopBtn(), ODMediaInfoEdit::qualityNames().at(1));
    EXPECT_EQ(editor->editMovie()->frameRateIndex(), 2);
    click(editor->cancelButton());
    EXPECT_EQ(forward.saves, 0);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(Editor, EmptyListsAndStrayIndexesShowNoSelection) {
    auto job = LXMediaInfo::initMediaInfoWithPath(fixture("clip.mp4"));
    job->setVCodecs({});
    job->setVCodecIndex(0);
    job->setACodecs({"aac", "mp3"});
    job->setACodecIndex(7);
    job->setChannels({2});
    job->setChannelIndex(-1);
    job->setFrameRates({25});
    job->setFrameRateIndex(1);
    job->setResolutions({{640, 480}});
    job->setResolutionIndex(-4);
    ASSERT_TRUE(open(job));
    EXPECT_EQ(editor->videoCodecPopBtn()->count(), 0);
    EXPECT_EQ(editor->videoCodecPopBtn()->currentIndex(), -1);
    EXPECT_EQ(editor->audioCodecPopBtn()->currentIndex(), -1);
    EXPECT_EQ(editor->audioChannelPopBtn()->currentIndex(), -1);
    EXPECT_EQ(editor->videoFrameRatePopBtn()->currentIndex(), -1);
    EXPECT_EQ(editor->audioSampleRatePopBtn()->currentIndex(), -1);
    // A frame-size index outside the list means the source size.
    EXPECT_TRUE(editor->videoResolutionPopBtn()->currentText().startsWith("(Defaults)"));
    editor->selectVideoResolution(-1);
    editor->selectVideoResolution(12);
    EXPECT_EQ(editor->editMovie()->resolutionIndex(), -4);
    EXPECT_EQ(ODMediaInfoEdit::shareODMediaInfoEditEditMovieWithDelegate(&window, nullptr, &forward), nullptr);
}
