// A trimmed item exported from the editor's side (LXMediaConvertController) to YouTube and
// Facebook: the real conversion, the real sheets, the stand-in services.
#include "SheetTestSupport.h"
#include "TestSupport.h"

#include <reelwright/LXMediaConvertController.h>
#include <sendaway/LXFaceBookShareWindowController.h>
#include <sendaway/LXProgressIndicator.h>
#include <sendaway/LXYoutubeShareWindowController.h>

#include <QJsonArray>
#include <QLineEdit>
#include <QTest>

using testsupport::waitFor;

namespace {

double videoDuration(const QString &path) {
    for (const auto &s : testsupport::ffprobe(path).value("streams").toArray())
        if (s.toObject().value("codec_type").toString() == "video")
            return s.toObject().value("duration").toString().toDouble();
    return -1;
}

class ThroughExportTest : public sheettest::SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        if (!QFile::exists(testsupport::fixture("clip.mp4")))
            GTEST_SKIP() << "fixtures not made (scripts/make-fixtures)";
    }
    void TearDown() override {
        LXMediaConvertController::cancelAllAndWait(30000);
        SheetTest::TearDown();
    }
    LXMediaInfoPtr trimmedClip() {
        auto item = LXMediaInfo::initMediaInfoWithPath(testsupport::fixture("clip.mp4"));
        item->setTrackStart(2.0);
        item->setTrackEnd(8.0);
        return item;
    }
};

} // namespace

TEST_F(ThroughExportTest, YoutubeUploadsTheTrimmedExport) {
    const QString dir = testsupport::freshDir("yt-export");
    auto c = LXMediaConvertController::startExport(trimmedClip(), dir, sheettest::documentWindow(),
                                                   LXMediaConvertController::Youtube, nullptr);
    ASSERT_TRUE(c);
    auto *w = dynamic_cast<LXYoutubeShareWindowController *>(c->exportWindow());
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(c->conversion()->isRunning()) << "nothing converts before publishing";

    QTest::keyClicks(w->userNameField(), server.user);
    sheettest::click(w->loginBtn());
    ASSERT_TRUE(waitFor([&] {
        return w->currentPage() == LXYoutubeShareWindowController::Page::Setting && w->btnPublish()->bEnabled();
    }));
    sheettest::click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return !alerts.shown.empty(); }, 120000));
    ASSERT_EQ(alerts.shown[0].title, "Upload successful!") << alerts.shown[0].message.toStdString();

    const QString output = c->outputPath();
    auto up = server.lastUpload();
    ASSERT_TRUE(up && up->complete);
    EXPECT_EQ(up->data, uploadtest::readAll(output));
    EXPECT_NEAR(videoDuration(output), 6.0, 0.5);
    EXPECT_EQ(alerts.shown[0].message, server.baseUrl().toString() + "/watch?v=" + up->videoId);
    EXPECT_EQ(w->progressIndicator()->doubleValue(), 100);
    EXPECT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }));
}

TEST_F(ThroughExportTest, FacebookUploadsTheTrimmedExport) {
    const QString dir = testsupport::freshDir("fb-export");
    auto c = LXMediaConvertController::startExport(trimmedClip(), dir, sheettest::documentWindow(),
                                                   LXMediaConvertController::Facebook, nullptr);
    ASSERT_TRUE(c);
    auto *w = dynamic_cast<LXFaceBookShareWindowController *>(c->exportWindow());
    ASSERT_TRUE(w);
    ASSERT_TRUE(waitFor([&] { return w->isVisible() && w->btnPublish()->bEnabled(); }));
    w->titleField()->setText("Trimmed");
    sheettest::click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return !alerts.shown.empty(); }, 120000));
    ASSERT_EQ(alerts.shown[0].message, "Upload successful!");
    auto up = server.lastUpload();
    ASSERT_TRUE(up && up->complete);
    EXPECT_EQ(up->data, uploadtest::readAll(c->outputPath()));
    EXPECT_NEAR(videoDuration(c->outputPath()), 6.0, 0.5);
    EXPECT_EQ(up->published.value("title").toString(), "Trimmed");
    EXPECT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }));
}
