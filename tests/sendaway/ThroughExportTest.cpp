// A trimmed item exported from the editor's side (LXMediaConvertController) to YouTube and
// Facebook: the real conversion, the real sheets, the stand-in services.
#include "SheetTestSupport.h"
#include "TestSupport.h"

#include <reelwright/LXMediaConvertController.h>
#include <sendaway/LXFaceBookShareWindowController.h>
#include <sendaway/LXProgressIndicator.h>
#include <sendaway/LXYoutubeShareWindowController.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
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
        item->setKeptRange(LXKeptRange::fromSeconds(2.0, 8.0));
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

// Facebook takes MP4 only: whatever container, codecs and quality the item was set up for,
// what reaches it is H.264/AAC in MP4, and the item itself keeps the user's choices.
TEST_F(ThroughExportTest, FacebookUploadsTheTrimmedExportAsMp4) {
    for (const LXQuality quality : {LXQuality::High, LXQuality::Low}) {
        SCOPED_TRACE(int(quality));
        alerts.shown.clear();
        const QString dir = testsupport::freshDir("fb-export");
        auto item = trimmedClip();
        item->setOutputFormat("mov");
        item->setOutputExt(".mov");
        item->setVCodecs({"mpeg4"});
        item->setACodecs({"pcm_s16le"});
        item->setOutputQuality(quality);
        auto c = LXMediaConvertController::startExport(item, dir, sheettest::documentWindow(),
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
        EXPECT_TRUE(c->outputPath().endsWith(".mp4")) << c->outputPath().toStdString();
        EXPECT_EQ(up->data, uploadtest::readAll(c->outputPath()));
        EXPECT_NEAR(videoDuration(c->outputPath()), 6.0, 0.5);
        EXPECT_EQ(up->published.value("title").toString(), "Trimmed");

        // Judged on the bytes the service holds.
        const QString received = QDir(testsupport::freshDir("fb-received")).filePath("received");
        QFile f(received);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(up->data);
        f.close();
        const QJsonObject probe = testsupport::ffprobe(received);
        // The MP4 muxer's brand; a QuickTime file says "qt  ".
        const QString brand = probe.value("format").toObject().value("tags").toObject().value("major_brand").toString();
        EXPECT_TRUE(QStringList({"isom", "mp41", "mp42", "iso2"}).contains(brand)) << brand.toStdString();
        QStringList codecs;
        for (const auto &st : probe.value("streams").toArray())
            codecs << st.toObject().value("codec_name").toString();
        EXPECT_EQ(codecs, (QStringList{"h264", "aac"}));
        EXPECT_EQ(item->outputFormat(), "mov") << "the user's item is left as it was";
        EXPECT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }));
    }
}
