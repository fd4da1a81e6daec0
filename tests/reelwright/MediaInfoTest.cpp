#include <foundation/Settings.h>
#include <framewheel/SWMediaInfoManager.h>
#include <reelwright/LXMediaCommon.h>
#include <reelwright/LXMediaInfo.h>

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using testsupport::fixture;

TEST(LXMediaInfo, NewItemFromVideoGetsQuicktimeDefaultsAndWholeSeconds) {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("hd1080.mp4")); // 3.003 s
    EXPECT_EQ(item->fileName(), fixture("hd1080.mp4"));
    EXPECT_TRUE(item->bSourceIsVideo());
    EXPECT_EQ(item->totalDuration(), 3.0);
    EXPECT_EQ(item->trackEnd(), 3.0);
    EXPECT_EQ(item->trackStart(), 0.0);
    EXPECT_EQ(item->width(), 1920u);
    EXPECT_EQ(item->orgHeight(), 1080u);
    EXPECT_EQ(item->outputExt(), ".mov");
    EXPECT_EQ(item->outputFormat(), "mov");
    EXPECT_EQ(item->outputDesc(), "Quicktime Movie");
    EXPECT_EQ(item->baseOutputType(), "Apple Device");
    EXPECT_EQ(item->audioVolumn(), 256);
    EXPECT_FALSE(item->thumbNailImage().isNull());
    ASSERT_TRUE(item->mediaInfoManager());
    EXPECT_EQ(item->mediaInfoManager()->path(), fixture("hd1080.mp4"));
}

TEST(LXMediaInfo, AudioOnlyItemGetsMp3DefaultsAndKeepsOutputVideoFlag) {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("audio.flac"));
    EXPECT_FALSE(item->bSourceIsVideo());
    EXPECT_TRUE(item->bOutputIsVideo());
    EXPECT_EQ(item->width(), 0u);
    EXPECT_EQ(item->orgHeight(), 0u);
    EXPECT_EQ(item->outputExt(), ".mp3");
    EXPECT_EQ(item->outputFormat(), "mp3");
    EXPECT_EQ(item->outputDesc(), "mp3");
    EXPECT_EQ(item->baseOutputType(), "Audio");
    EXPECT_EQ(item->totalDuration(), 10.0);
}

TEST(LXMediaInfo, UnreadableFileStillGivesARecord) {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("random.mp4"));
    EXPECT_EQ(item->totalDuration(), 0.0);
    EXPECT_FALSE(item->bSourceIsVideo());
    ASSERT_TRUE(item->mediaInfoManager());
    EXPECT_FALSE(item->mediaInfoManager()->isValid());
}

TEST(LXMediaInfo, CopySharesProbeOwnsListsAndDropsVolumeAndSubtitle) {
    auto src = LXMediaInfo::initMediaInfoWithPath(fixture("multi.mkv"));
    src->setVCodecs({"h264", "mpeg4"});
    src->setVCodecIndex(1);
    src->setFrameRates({25, 30});
    src->setFrameRateIndex(1);
    src->setResolutionIndex(3);
    src->setKeptRange(LXKeptRange::fromSeconds(12.5, 20.0));
    src->setAudioVolumn(100);
    src->setAudioStreamIndex(1);
    src->setSubTitleIndex(0);
    src->setBLoaded(true);
    src->setEditMovieIndex(4);
    src->setEditMovieCount(9);
    QString path = "/tmp/subs.srt";
    src->setSrtSubtitleFile(path);
    path.append("x"); // the record kept its own copy
    EXPECT_EQ(src->srtSubtitleFile(), "/tmp/subs.srt");

    auto copy = src->copyMovie();
    EXPECT_EQ(copy->mediaInfoManager().get(), src->mediaInfoManager().get());
    EXPECT_EQ(copy->vCodecs(), src->vCodecs());
    EXPECT_EQ(copy->vCodecIndex(), 1);
    EXPECT_EQ(copy->frameRateIndex(), 1);
    EXPECT_EQ(copy->resolutionIndex(), 3);
    EXPECT_EQ(copy->trackStart(), 12.5);
    EXPECT_EQ(copy->trackEnd(), 20.0);
    EXPECT_EQ(copy->keptRange(), src->keptRange());
    EXPECT_EQ(copy->audioStreamIndex(), 1);
    EXPECT_TRUE(copy->bLoaded());
    EXPECT_EQ(copy->editMovieIndex(), 4u);
    EXPECT_EQ(copy->editMovieCount(), 9u);
    EXPECT_EQ(copy->audioVolumn(), 256);
    EXPECT_TRUE(copy->srtSubtitleFile().isEmpty());

    auto list = copy->vCodecs();
    list.append("vp9");
    copy->setVCodecs(list);
    EXPECT_EQ(src->vCodecs().size(), 2);
}

TEST(LXMediaCommon, SettingsDefaultsAndExportFolder) {
    foundation::Settings::remove("allowConvertingMaxCount");
    foundation::Settings::remove("exportMoviePath");
    EXPECT_EQ(LXMediaCommon::maxConvertingCountSameTime(), 2);
    EXPECT_TRUE(LXMediaCommon::autoCheckStreamCopyWhenSameCodec());
    EXPECT_TRUE(LXMediaCommon::showTipAgainWhenChangeOutputFmt());
    const QString expected = QDir::home().filePath("Videos/Cinvora");
    EXPECT_EQ(LXMediaCommon::exportMovieFolder(), expected);
    EXPECT_TRUE(QFileInfo(expected).isDir());
    EXPECT_FALSE(foundation::Settings::contains("exportMoviePath")); // the default is never stored

    LXMediaCommon::setExportMovieFolder("/srv/out");
    EXPECT_EQ(LXMediaCommon::exportMovieFolder(), "/srv/out");
    LXMediaCommon::setMaxConvertingCountSameTime(0);
    EXPECT_EQ(LXMediaCommon::maxConvertingCountSameTime(), 1); // zero would admit nothing
    LXMediaCommon::setMaxConvertingCountSameTime(-5);
    EXPECT_EQ(LXMediaCommon::maxConvertingCountSameTime(), 1);
    LXMediaCommon::setMaxConvertingCountSameTime(4);
    EXPECT_EQ(LXMediaCommon::maxConvertingCountSameTime(), 4);
    LXMediaCommon::setAutoCheckStreamCopyWhenSameCodec(false);
    EXPECT_FALSE(LXMediaCommon::autoCheckStreamCopyWhenSameCodec());
    foundation::Settings::remove("exportMoviePath");
    foundation::Settings::remove("allowConvertingMaxCount");
    foundation::Settings::remove("autoStreamCopyWhenSameCodec");
}

TEST(LXMediaCommon, StreamNumbersFromListIndexes) {
    auto mkv = LXMediaInfo::initMediaInfoWithPath(fixture("multi.mkv")); // audio streams 1, 2; subtitle 3
    mkv->setAudioStreamIndex(1);
    EXPECT_EQ(LXMediaCommon::audioStreamIndex(*mkv), 2);
    mkv->setAudioStreamIndex(-1);
    EXPECT_EQ(LXMediaCommon::audioStreamIndex(*mkv), -1);
    mkv->setSubTitleIndex(0);
    EXPECT_EQ(LXMediaCommon::subTitleIndex(*mkv), 3);
    mkv->setSubTitleIndex(5); // past the list
    EXPECT_EQ(LXMediaCommon::subTitleIndex(*mkv), -1);

    auto mp4 = LXMediaInfo::initMediaInfoWithPath(fixture("clip.mp4")); // no subtitles
    mp4->setSubTitleIndex(0);
    EXPECT_EQ(LXMediaCommon::subTitleIndex(*mp4), -1);
    // Asking leaves the item's choices as they were: they decide what it converts to.
    EXPECT_EQ(mp4->subTitleIndex(), 0);
    auto silent = LXMediaInfo::initMediaInfoWithPath(fixture("anamorphic.mkv")); // no audio
    silent->setAudioStreamIndex(0);
    EXPECT_EQ(LXMediaCommon::audioStreamIndex(*silent), -1);
    EXPECT_EQ(silent->audioStreamIndex(), 0);
}

TEST(LXMediaCommon, FlowRectIsCentredAtFixedHeight) {
    EXPECT_EQ(LXMediaCommon::flowRectForScreenWidth(1440), QRectF(418.5, 59, 603, 59));
    EXPECT_EQ(LXMediaCommon::flowRectForScreenWidth(0).x(), -301.5);
    EXPECT_EQ(LXMediaCommon::yesStr(), "Yes");
    EXPECT_EQ(LXMediaCommon::noStr(), "No");
}
