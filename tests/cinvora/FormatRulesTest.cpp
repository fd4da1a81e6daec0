#include <FormatRules.h>
#include <vcCommon.h>

#include <framewheel/SWConvertSession.h>
#include <framewheel/SWMediaInfoManager.h>
#include <reelwright/LXMediaInfo.h>
#include <reelwright/LXSessionFill.h>

#include "TestSupport.h"

#include <gtest/gtest.h>

using testsupport::fixture;

namespace {
// A record as the catalogue's parser makes it from the property list.
FormatRecord parsed(QVariantList rates, QVariantList fps, QStringList sizes = {"800*600"}) {
    const QVariantMap m{
        {"format", "mp4"},
        {"Ext", ".mp4"},
        {"Audio", QVariantMap{{"Codec", QStringList{"aac"}}, {"samplerate", rates}, {"channel", QVariantList{2, 1}}}},
        {"Video", QVariantMap{{"Codec", QStringList{"h264", "mpeg4"}}, {"Resolution", sizes}, {"framerate", fps}}}};
    const FormatCatalogue c = FormatCatalogue::fromPropertyList({{"Video", QVariantMap{{"1--MP4", m}}}});
    const FormatRecord *r = c.find("Video.1--MP4");
    return r ? *r : FormatRecord();
}
// loadDefaults takes the catalogue's record by address; a test's record lives until the end
// of the statement that loads it.
struct record {
    FormatRecord r;
    record(QVariantList rates, QVariantList fps, QStringList sizes = {"800*600"})
        : r(parsed(std::move(rates), std::move(fps), std::move(sizes))) {}
    operator const FormatRecord *() const { return &r; }
};
} // namespace

TEST(FormatRules, DefaultsFollowTheSourceRatesWithTheDocumentedFallbacks) {
    auto mkv = LXMediaInfo::initMediaInfoWithPath(fixture("multi.mkv")); // 48000 Hz, 25 fps
    FormatRules::loadDefaults(*mkv, record({22050, 44100, 48000}, {24, 25}));
    EXPECT_EQ(mkv->sampleRateIndex(), 2);
    EXPECT_EQ(mkv->frameRateIndex(), 1);
    EXPECT_EQ(mkv->resolutionIndex(), 1); // the "(Defaults)" entry after the one size: keep the source size
    EXPECT_EQ(mkv->aCodecs(), QStringList{"aac"});
    EXPECT_EQ(mkv->vCodecs(), QStringList({"h264", "mpeg4"}));
    EXPECT_TRUE(mkv->bLoaded());

    auto hd = LXMediaInfo::initMediaInfoWithPath(fixture("hd1080.mp4")); // 48000 Hz, 29.97 fps
    FormatRules::loadDefaults(*hd, record({22050, 32000}, {25, 30}));
    EXPECT_EQ(hd->sampleRateIndex(), 0); // no 48000, no 44100
    EXPECT_EQ(hd->frameRateIndex(), 1);  // 29.97 rounds to 30
    FormatRules::loadDefaults(*hd, record({32000, 44100}, {24, 25}));
    EXPECT_EQ(hd->sampleRateIndex(), 1); // falls back to 44100
    EXPECT_EQ(hd->frameRateIndex(), 1);  // falls back to 25
    FormatRules::loadDefaults(*hd, record({48000}, {24, 29.97, 60}));
    EXPECT_EQ(hd->frameRateIndex(), 0); // an entry of 29.97 matches neither 30 nor 25

    // Track choices are reset on the first load only.
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("multi.mkv"));
    item->setAudioStreamIndex(1);
    item->setSubTitleIndex(-1);
    FormatRules::loadDefaults(*item, record({48000}, {25}));
    EXPECT_EQ(item->audioStreamIndex(), 0);
    EXPECT_EQ(item->subTitleIndex(), 0);
    item->setAudioStreamIndex(1);
    FormatRules::loadDefaults(*item, record({48000}, {25}));
    EXPECT_EQ(item->audioStreamIndex(), 1);

    // A missing record empties the lists.
    FormatRules::loadDefaults(*item, nullptr);
    EXPECT_TRUE(item->aCodecs().isEmpty());
    EXPECT_TRUE(item->resolutions().isEmpty());
    EXPECT_EQ(item->resolutionIndex(), 0);
    EXPECT_EQ(item->sampleRateIndex(), 0);
}

TEST(FormatRules, AudioOnlySourcesKeepTheirVideoLists) {
    auto mp3 = LXMediaInfo::initMediaInfoWithPath(fixture("audio.mp3"));
    mp3->setVCodecs({"keep"});
    FormatRules::loadDefaults(*mp3, record({44100}, {25}));
    EXPECT_EQ(mp3->vCodecs(), QStringList{"keep"});
    EXPECT_EQ(mp3->sampleRateIndex(), 0);
}

// The catalogue's texts become typed values once, in its parser: sizes that are not two
// positive numbers are dropped (no later reader parses a size from text), a caption falls
// back to the whole catalogue key, and the key's three written forms agree.
TEST(FormatRules, TheCatalogueIsParsedOnceIntoTypedRecords) {
    const QVariantMap mkv{{"format", "matroska"},
                          {"Ext", ".mkv"},
                          {"Video", QVariantMap{{"Resolution", QStringList{"800*600", " 640 * 480 ", "800x600",
                                                                           " 640 * abc", "0*0", "1920*1080*2"}}}}};
    const QVariantMap mp3{{"format", "mp3"}, {"Ext", ".mp3"}, {"IsAudio", true}, {"keyName", "MP3 Sound"}};
    const FormatCatalogue c = FormatCatalogue::fromPropertyList(
        {{"Common Video", QVariantMap{{"2--MKV", mkv}, {"1--Odd", QString("not a record")}}},
         {"Audio", QVariantMap{{"7--mp3", mp3}}},
         {"Broken", QString("not a category")}});
    EXPECT_EQ(c.categories(), QStringList({"Audio", "Common Video"}));
    ASSERT_EQ(c.formatsIn("Common Video").size(), 1u);
    const FormatRecord *r = c.find("Common Video.2--MKV");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->frameSizes, QList<LXFrameSize>({{800, 600}, {640, 480}}));
    EXPECT_EQ(r->caption, "2--MKV");
    EXPECT_EQ(r->container, "matroska");
    EXPECT_FALSE(r->isAudio);
    EXPECT_EQ(r->key.keyPath(), "Common Video.2--MKV");
    EXPECT_EQ(r->key.lastKey(), "Common Video.MKV");
    EXPECT_EQ(r->key.compKey(), "Common Video2--MKV");
    EXPECT_EQ(FormatKey::fromKeyPath(r->key.keyPath()), r->key);

    const FormatRecord *a = c.findTyped("audio.MP3 SOUND");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->key.keyPath(), "Audio.7--mp3");
    EXPECT_TRUE(a->isAudio);
    EXPECT_EQ(c.findTyped("Audio.7--MP3"), a);
    EXPECT_EQ(c.findTyped("common video.mkv"), r) << "the key without its prefix";
    EXPECT_EQ(c.findTyped("Audio.flac"), nullptr);
    EXPECT_EQ(c.find("Audio.mp3"), nullptr) << "a key path names the catalogue key, prefix and all";
    EXPECT_TRUE(c.hasExtension(".mkv"));
    EXPECT_TRUE(c.hasContainer("mp3"));
    EXPECT_FALSE(c.hasExtension(".exe"));

    // A key with dashes further in keeps them; a path without a dot names nothing.
    EXPECT_EQ(FormatKey("V", "Wide--Screen").shownKey(), "Wide--Screen");
    EXPECT_TRUE(FormatKey::fromKeyPath("Audio").isEmpty());
    EXPECT_EQ(FormatKey::fromKeyPath("Audio").keyPath(), QString());
}

TEST(FormatRules, SessionGetsTrimTracksAndChoices) {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("multi.mkv")); // audio 1, 2; subtitle 3
    FormatRules::loadDefaults(*item, record({44100, 48000}, {25, 30}, {"800*600"}));
    item->setKeptRange(LXKeptRange::fromSeconds(12.5, 20.0));
    item->setAudioStreamIndex(1);
    item->setSubTitleIndex(0);
    item->setAudioVolumn(128);
    item->setVCodecIndex(1);
    item->setChannelIndex(1);
    item->setOutputQuality(LXQuality::Middle);
    item->setOutputFormat("mp4");
    item->setOutputExt(".mp4");
    SWConvertOption o;
    fillSessionOption(*item, o, LXFillRules::forQueue(true));
    EXPECT_EQ(o.start_time(), 12'500'000);
    EXPECT_EQ(o.recording_time(), 7'500'000);
    EXPECT_EQ(o.audioStreamIndex(), 2);
    EXPECT_EQ(o.subtitleStreamIndex(), 3);
    EXPECT_FALSE(o.audio_disable());
    EXPECT_EQ(o.audio_volume(), 128);
    EXPECT_EQ(o.videoCodeName(), "mpeg4");
    EXPECT_EQ(o.audioCodeName(), "aac");
    EXPECT_EQ(o.sample_rate(), 48000);
    EXPECT_EQ(o.channels(), 1);
    EXPECT_EQ(o.frameRateNum(), 25);
    EXPECT_EQ(o.frameRateDen(), 1);
    EXPECT_EQ(o.qscale(), 7.0);
    EXPECT_EQ(o.width(), 320u);
    EXPECT_EQ(o.inputHeight(), 240u);
    EXPECT_EQ(o.format(), "mp4");
    EXPECT_TRUE(o.auto_streamcopy());

    // Out-of-range choices send "none" and no frame rate.
    item->setAudioStreamIndex(7);
    item->setSubTitleIndex(-1);
    item->setFrameRateIndex(9);
    SWConvertOption o2;
    fillSessionOption(*item, o2, LXFillRules::forQueue(false));
    EXPECT_EQ(o2.audioStreamIndex(), -1);
    EXPECT_TRUE(o2.subtitle_disable());
    EXPECT_EQ(o2.frameRateNum(), 0);
    item->setAudioStreamIndex(-1);
    SWConvertOption o3;
    fillSessionOption(*item, o3, LXFillRules::forQueue(false));
    EXPECT_TRUE(o3.audio_disable());

    // The goal reaches the video: a size, or a quality target, never both.
    item->setOutputGoal(LXOutputGoal::fitIn(25'000'000));
    SWConvertOption fit;
    fillSessionOption(*item, fit, LXFillRules::forQueue(false));
    EXPECT_EQ(fit.maxSizeBytes(), 25'000'000);
    EXPECT_EQ(fit.targetSsim(), 0.0);
    item->setOutputGoal(LXOutputGoal::quality(0.98));
    SWConvertOption target;
    fillSessionOption(*item, target, LXFillRules::forQueue(false));
    EXPECT_EQ(target.maxSizeBytes(), 0);
    EXPECT_EQ(target.targetSsim(), 0.98);

    // An audio-only output of a video source drops the picture and sets no size or codec,
    // and no goal, which steers the picture's rate.
    item->setBOutputIsVideo(false);
    item->setOutputGoal(LXOutputGoal::fitIn(25'000'000));
    SWConvertOption o4;
    fillSessionOption(*item, o4, LXFillRules::forQueue(false));
    EXPECT_TRUE(o4.video_disable());
    EXPECT_TRUE(o4.videoCodeName().isEmpty());
    EXPECT_EQ(o4.width(), 0u);
    EXPECT_EQ(o4.maxSizeBytes(), 0);
}

TEST(FormatRules, TheGoalIsStoredKeptAcrossFormatsAndReadWarily) {
    using FormatRules::FormatChoices;
    FormatChoices fit;
    fit.vCodecIndex = 1;
    fit.goal = LXOutputGoal::fitIn(8'000'000);
    EXPECT_EQ(FormatChoices::fromPropertyList(fit.toPropertyList()), fit);
    EXPECT_EQ(fit.keptAcrossFormats().goal, fit.goal) << "a size means the same on any format";
    EXPECT_FALSE(fit.keptAcrossFormats().vCodecIndex);
    FormatChoices target;
    target.goal = LXOutputGoal::quality(0.99);
    EXPECT_EQ(FormatChoices::fromPropertyList(target.toPropertyList()), target);
    FormatChoices cleared;
    cleared.goal = LXOutputGoal();
    EXPECT_EQ(FormatChoices::fromPropertyList(cleared.toPropertyList()), cleared) << "a goal taken away stays away";
    // A list from before the goal has none; a hand-edited one with both keeps the size; a
    // target outside what the engine takes is none.
    EXPECT_FALSE(FormatChoices::fromPropertyList({{"quality", 1}}).goal);
    EXPECT_EQ(FormatChoices::fromPropertyList({{"fitInBytes", 5'000'000}, {"targetSsim", 0.98}}).goal,
              LXOutputGoal::fitIn(5'000'000));
    EXPECT_EQ(FormatChoices::fromPropertyList({{"fitInBytes", 0}, {"targetSsim", 3.0}}).goal, LXOutputGoal());
    EXPECT_EQ(FormatChoices::fromPropertyList({{"fitInBytes", -4}, {"targetSsim", 0.2}}).goal, LXOutputGoal());
}

TEST(FormatRules, ContainerRules) {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("clip.mp4")); // 320x240
    item->setWidth(1280);
    item->setHeight(720);
    item->setOrgWidth(1280);
    item->setOrgHeight(720);
    auto run = [&](const QString &ext, const QString &format, uint64_t w, uint64_t h) {
        item->setOutputExt(ext);
        item->setOutputFormat(format);
        SWConvertOption o;
        o.setWidth(w);
        o.setHeight(h);
        processingSpecialFormat(item->snapshot(), o);
        return o;
    };
    SWConvertOption dv = run(".dv", "dv", 1280, 720); // source size kept
    EXPECT_EQ(dv.width(), 720u);
    EXPECT_EQ(dv.height(), 576u);
    EXPECT_EQ(dv.frameRateNum(), 25);
    EXPECT_EQ(dv.sample_rate(), 48000);
    SWConvertOption dv2 = run(".dv", "dv", 640, 480); // chosen size kept
    EXPECT_EQ(dv2.width(), 640u);
    EXPECT_EQ(dv2.frameRateNum(), 30000);
    EXPECT_EQ(dv2.frameRateDen(), 1001);
    SWConvertOption vcd = run(".mpg", "vcd", 1280, 720);
    EXPECT_EQ(vcd.width(), 352u);
    EXPECT_EQ(vcd.height(), 240u);
    EXPECT_EQ(vcd.frameRateNum(), 30000);
    EXPECT_EQ(vcd.sample_rate(), 44100);
    SWConvertOption vob = run(".vob", "vob", 1280, 100); // one dimension kept counts as kept
    EXPECT_EQ(vob.width(), 720u);
    EXPECT_EQ(vob.height(), 480u);
    EXPECT_EQ(vob.frameRateDen(), 1001);
    SWConvertOption flv = run(".flv", "flv", 1280, 720);
    EXPECT_EQ(flv.sample_rate(), 44100);
    EXPECT_TRUE(flv.subtitle_disable());
    SWConvertOption m4v = run(".m4v", "ipod", 1280, 720);
    EXPECT_EQ(m4v.videoCodeName(), "h264");
    EXPECT_EQ(m4v.audioCodeName(), "libfaac");
    item->setOutputExt(".m4v");
    SWConvertOption keep;
    keep.setVideoCodeName("mpeg4");
    processingSpecialFormat(item->snapshot(), keep);
    EXPECT_EQ(keep.videoCodeName(), "mpeg4");
    EXPECT_EQ(keep.audioCodeName(), "libfaac");
    EXPECT_EQ(run(".mmf", "mmf", 0, 0).sample_rate(), 44100);
}

// The parameters kept in the saved list and the settings come back onto an item only where
// they fit its lists: a stale index (the catalogue changed, or the file was edited) is
// passed over, and the frame size follows the chosen entry or "(Defaults)".
TEST(FormatRules, StoredParametersComeBackWhereTheyFit) {
    auto clip = LXMediaInfo::initMediaInfoWithPath(fixture("clip.mp4"));
    FormatRules::loadDefaults(*clip, record({44100, 48000}, {25, 30}, {"1280*720", "854*480"}));
    clip->setVCodecIndex(1);
    clip->setResolutionIndex(1);
    const FormatRules::FormatChoices kept =
        FormatRules::FormatChoices::fromPropertyList(FormatRules::parametersOf(*clip).toPropertyList());

    auto again = LXMediaInfo::initMediaInfoWithPath(fixture("clip.mp4"));
    FormatRules::loadDefaults(*again, record({44100, 48000}, {25, 30}, {"1280*720", "854*480"}));
    EXPECT_TRUE(FormatRules::applyParameters(*again, kept));
    EXPECT_EQ(again->vCodecIndex(), 1);
    EXPECT_EQ(again->resolutionIndex(), 1);
    EXPECT_EQ(again->width(), 854u);
    EXPECT_EQ(again->height(), 480u);

    FormatRules::FormatChoices stale = kept;
    stale.vCodecIndex = 7;
    stale.resolutionIndex = 2; // the source's own size
    EXPECT_TRUE(FormatRules::applyParameters(*again, stale));
    EXPECT_EQ(again->vCodecIndex(), 1) << "an index past the list is passed over";
    EXPECT_EQ(again->resolutionIndex(), 2);
    EXPECT_EQ(again->width(), 320u);
    EXPECT_EQ(again->height(), 240u);
    EXPECT_FALSE(FormatRules::applyParameters(*again, {})) << "nothing stored, nothing changed";
}
