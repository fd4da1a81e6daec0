// The export conversion without windows: how an item fills the session, where the file
// goes, and what trimming, track choice, subtitles, pause and cancel do to the output.
#include <foundation/Files.h>
#include <framewheel/SWMediaInfoManager.h>
#include <reelwright/LXExportConversion.h>
#include <reelwright/LXSessionFill.h>
#include <reelwright/LXMediaInfo.h>

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QThread>
#include <gtest/gtest.h>
#include <atomic>
#include <optional>
#include <thread>

using testsupport::fixture;
using testsupport::waitFor;

namespace {

struct Recorder : LXExportConversionDelegate {
    std::vector<double> percents;
    std::optional<LXExportOutcome> outcome;
    void exportConversionProgress(LXExportConversion *, double percent, double, double) override {
        percents.push_back(percent);
    }
    void exportConversionEnded(LXExportConversion *, LXExportOutcome o) override { outcome = o; }
};

// Runs one export to the end; answers how it ended.
LXExportOutcome runExport(const LXMediaInfoPtr &item, const QString &wanted, QString *written = nullptr,
                          Recorder *rec = nullptr) {
    Recorder local;
    Recorder &r = rec ? *rec : local;
    auto c = LXExportConversion::create();
    c->setDelegate(&r);
    EXPECT_TRUE(c->start(item, wanted));
    EXPECT_TRUE(waitFor([&] { return r.outcome.has_value(); }, 120000));
    c->setDelegate(nullptr);
    if (written)
        *written = c->outputPath();
    return r.outcome.value_or(LXExportOutcome::Failed);
}

double streamDuration(const QJsonObject &probe, const QString &type) {
    for (const auto &s : probe.value("streams").toArray())
        if (s.toObject().value("codec_type").toString() == type)
            return s.toObject().value("duration").toString().toDouble();
    return -1;
}

QJsonObject firstStream(const QJsonObject &probe, const QString &type) {
    for (const auto &s : probe.value("streams").toArray())
        if (s.toObject().value("codec_type").toString() == type)
            return s.toObject();
    return {};
}

int countStreams(const QJsonObject &probe, const QString &type) {
    int n = 0;
    for (const auto &s : probe.value("streams").toArray())
        n += s.toObject().value("codec_type").toString() == type;
    return n;
}

// The bottom third of one frame at `seconds`, decoded by the ffmpeg program.
QImage frameAt(const QString &path, double seconds) {
    const QString png = QDir(testsupport::freshDir("frame")).filePath("f.png");
    const int rc = testsupport::runProgram(
        "ffmpeg", {"-v", "error", "-ss", QString::number(seconds), "-i", path, "-frames:v", "1", "-y", png});
    if (rc != 0)
        return {};
    QImage img(png);
    return img.copy(0, img.height() * 2 / 3, img.width(), img.height() / 3).convertToFormat(QImage::Format_RGB32);
}

double meanDifference(const QImage &a, const QImage &b) {
    if (a.size() != b.size() || a.isNull())
        return -1;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (a.width() * a.height() * 3.0);
}

QStringList filesIn(const QString &dir) { return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System); }

// A conversion long enough to be paused and cancelled while it runs: the 24-second clip
// (its first 12 seconds) re-encoded at four times its size.
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

} // namespace

TEST(ExportOption, VideoToVideoCopiesStreamsAndTakesTheProbesNumbers) {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("multi.mkv"));
    item->setKeptRange(LXKeptRange::fromSeconds(2.0, 6.5));
    item->setAudioStreamIndex(1);
    item->setSubTitleIndex(0);
    item->setAudioVolumn(128);
    item->setVCodecs({"h264", "mpeg4"});
    item->setVCodecIndex(1);
    item->setACodecs({"aac"});
    item->setFrameRates({25, 30});
    item->setFrameRateIndex(1);
    item->setSampleRates({22050});
    item->setSampleRateIndex(0);
    item->setChannels({1});
    item->setChannelIndex(0);
    item->setOutputQuality(LXQuality::Middle);
    item->setOutputFormat("mkv");
    item->setOutputExt(".mov"); // the queue's rules would act on this; an export must not
    SWConvertOption o;
    fillSessionOption(*item, o, LXFillRules::forExport());
    const auto probe = item->mediaInfoManager();
    EXPECT_EQ(o.start_time(), 2'000'000);
    EXPECT_EQ(o.recording_time(), 4'500'000);
    EXPECT_FALSE(o.audio_disable());
    EXPECT_FALSE(o.subtitle_disable());
    EXPECT_EQ(o.audio_volume(), 128);
    EXPECT_TRUE(o.auto_streamcopy());
    EXPECT_EQ(o.width(), 320u);
    EXPECT_EQ(o.inputWidth(), 320u);
    EXPECT_EQ(o.subtitleCount(), 1);
    EXPECT_EQ(o.frameRateNum(), 30);
    EXPECT_EQ(o.frameRateDen(), 1);
    ASSERT_EQ(probe->audioStreamIndexs().size(), 2);
    EXPECT_EQ(o.audioStreamIndex(), probe->audioStreamIndexs().at(1));
    EXPECT_EQ(o.subtitleStreamIndex(), probe->subtitleStreamIndexs().at(0));
    EXPECT_EQ(o.videoCodeName(), "mpeg4");
    EXPECT_EQ(o.audioCodeName(), "aac");
    EXPECT_EQ(o.qscale(), 7.0);
    EXPECT_EQ(o.format(), "mkv");
    // Neither sample rate nor channels are part of an export.
    EXPECT_EQ(o.sample_rate(), 0);
    EXPECT_EQ(o.channels(), 0);
}

TEST(ExportOption, IndexesOutsideTheListsSendNothingOrMinusOne) {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("multi.mkv"));
    item->setFrameRates({25});
    item->setSubTitleIndex(3); // the probe lists one subtitle stream
    item->setAudioStreamIndex(5);
    for (int64_t rateIndex : {int64_t(-1), int64_t(1)}) {
        item->setFrameRateIndex(rateIndex);
        SWConvertOption o;
        fillSessionOption(*item, o, LXFillRules::forExport());
        EXPECT_EQ(o.frameRateNum(), 0) << rateIndex;
        EXPECT_EQ(o.subtitleStreamIndex(), -1);
        EXPECT_FALSE(o.subtitle_disable());
        EXPECT_EQ(o.audioStreamIndex(), -1);
    }
    item->setOutputQuality(LXQuality(9)); // a damaged value
    item->setOutputFormat(QString());
    SWConvertOption o;
    fillSessionOption(*item, o, LXFillRules::forExport());
    EXPECT_EQ(o.qscale(), 1.0);
    EXPECT_TRUE(o.format().isEmpty());
}

TEST(ExportOption, AudioOutputsAndAudioSourcesGetNoVideoSettings) {
    auto video = LXMediaInfo::initMediaInfoWithPath(fixture("clip.mp4"));
    video->setBOutputIsVideo(false);
    video->setVCodecs({"h264"});
    video->setOutputQuality(LXQuality::Low);
    SWConvertOption a;
    fillSessionOption(*video, a, LXFillRules::forExport());
    EXPECT_TRUE(a.video_disable());
    EXPECT_EQ(a.width(), 0u);
    EXPECT_TRUE(a.videoCodeName().isEmpty());
    EXPECT_EQ(a.qscale(), 1.0);
    EXPECT_FALSE(a.auto_streamcopy());

    auto audio = LXMediaInfo::initMediaInfoWithPath(fixture("audio.flac"));
    audio->setVCodecs({"h264"});
    audio->setACodecs({"mp3"});
    SWConvertOption b;
    fillSessionOption(*audio, b, LXFillRules::forExport());
    EXPECT_FALSE(b.video_disable());
    EXPECT_EQ(b.width(), 0u);
    EXPECT_TRUE(b.videoCodeName().isEmpty());
    EXPECT_EQ(b.audioCodeName(), "mp3");
    EXPECT_EQ(b.format(), "mp3");
}

TEST(ExportConversion, TrimmedClipLastsTheKeptRange) {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("clip.mp4"));
    item->setKeptRange(LXKeptRange::fromSeconds(2.0, 6.5));
    const QString dir = testsupport::freshDir("trim");
    QString out;
    Recorder rec;
    ASSERT_EQ(runExport(item, QDir(dir).filePath("clip.mov"), &out, &rec), LXExportOutcome::Finished);
    EXPECT_EQ(out, QDir(dir).filePath("clip.mov"));
    ASSERT_FALSE(rec.percents.empty());
    EXPECT_EQ(rec.percents.back(), 100.0);
    EXPECT_TRUE(std::is_sorted(rec.percents.begin(), rec.percents.end()));
    const QJsonObject probe = testsupport::ffprobe(out);
    const double frame = 1.0 / 25;
    EXPECT_NEAR(streamDuration(probe, "video"), 4.5, frame + 1e-6);
    EXPECT_NEAR(probe.value("format").toObject().value("duration").toString().toDouble(), 4.5, frame + 0.03);
    EXPECT_EQ(filesIn(dir), QStringList{"clip.mov"});
}

TEST(ExportConversion, ChosenAudioTrackAndAttachedSubtitlesReachTheFile) {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("multi.mkv"));
    item->setKeptRange(LXKeptRange::fromSeconds(2.0, 6.5));
    item->setSubTitleIndex(-1);
    const QString dir = testsupport::freshDir("tracks");

    item->setAudioStreamIndex(0);
    QString first;
    ASSERT_EQ(runExport(item, QDir(dir).filePath("first.mov"), &first), LXExportOutcome::Finished);
    item->setAudioStreamIndex(1);
    QString second;
    ASSERT_EQ(runExport(item, QDir(dir).filePath("second.mov"), &second), LXExportOutcome::Finished);
    // The fixture's tracks: stereo at 48 kHz, then mono at 44.1 kHz.
    const QJsonObject a = firstStream(testsupport::ffprobe(first), "audio");
    const QJsonObject b = firstStream(testsupport::ffprobe(second), "audio");
    EXPECT_EQ(a.value("channels").toInt(), 2);
    EXPECT_EQ(b.value("channels").toInt(), 1);
    EXPECT_EQ(b.value("sample_rate").toString(), "44100");
    EXPECT_EQ(countStreams(testsupport::ffprobe(second), "audio"), 1);
    EXPECT_NEAR(streamDuration(testsupport::ffprobe(second), "video"), 4.5, 0.04 + 1e-6);

    // An external SubRip file is drawn into the picture: the lower third differs from the
    // same export without it, and the length stays the kept range.
    item->setSubTitleIndex(1); // the entry after the embedded track
    item->setSrtSubtitleFile(fixture("subs.srt"));
    QString subtitled;
    ASSERT_EQ(runExport(item, QDir(dir).filePath("subtitled.mov"), &subtitled), LXExportOutcome::Finished);
    EXPECT_NEAR(streamDuration(testsupport::ffprobe(subtitled), "video"), 4.5, 0.04 + 1e-6);
    const double diff = meanDifference(frameAt(second, 1.0), frameAt(subtitled, 1.0));
    EXPECT_GT(diff, 2.0);
}

TEST(ExportConversion, TakenNamesAreNumberedAndNeverReplaced) {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("short.mp4"));
    const QString dir = testsupport::freshDir("names");
    const QString wanted = QDir(dir).filePath("short.mov");
    {
        QFile f(wanted);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    // Two exports to the same name at once get two names.
    Recorder r1, r2;
    auto c1 = LXExportConversion::create();
    auto c2 = LXExportConversion::create();
    c1->setDelegate(&r1);
    c2->setDelegate(&r2);
    ASSERT_TRUE(c1->start(item, wanted));
    ASSERT_TRUE(c2->start(item, wanted));
    EXPECT_FALSE(c1->start(item, wanted)); // one at a time per conversion
    ASSERT_TRUE(waitFor([&] { return r1.outcome && r2.outcome; }, 120000));
    EXPECT_EQ(*r1.outcome, LXExportOutcome::Finished);
    EXPECT_EQ(*r2.outcome, LXExportOutcome::Finished);
    const QStringList names{QFileInfo(c1->outputPath()).fileName(), QFileInfo(c2->outputPath()).fileName()};
    EXPECT_TRUE(names.contains("short(1).mov"));
    EXPECT_TRUE(names.contains("short(2).mov"));
    QFile kept(wanted);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep me");
    EXPECT_EQ(filesIn(dir).size(), 3);
}

TEST(ExportConversion, FailuresLeaveNothingBehind) {
    const QString dir = testsupport::freshDir("fail");
    // A folder that does not exist: nothing can be reserved.
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("short.mp4"));
    auto c = LXExportConversion::create();
    Recorder r;
    c->setDelegate(&r);
    ASSERT_TRUE(c->start(item, QDir(dir).filePath("missing/short.mov")));
    ASSERT_TRUE(waitFor([&] { return r.outcome.has_value(); }));
    EXPECT_EQ(*r.outcome, LXExportOutcome::Failed);
    EXPECT_FALSE(c->lastError().isEmpty());
    EXPECT_FALSE(c->hasSession());

    // An unreadable source: the engine refuses, the reserved name goes.
    auto bad = LXMediaInfo::initMediaInfoWithPath(fixture("random.mp4"));
    EXPECT_EQ(runExport(bad, QDir(dir).filePath("random.mov")), LXExportOutcome::Failed);
    EXPECT_TRUE(filesIn(dir).isEmpty()) << filesIn(dir).join(", ").toStdString();
}

TEST(ExportConversion, CancelHalfwayRemovesThePartialFile) {
    const QString dir = testsupport::freshDir("cancel");
    auto c = LXExportConversion::create();
    Recorder r;
    c->setDelegate(&r);
    ASSERT_TRUE(c->start(slowItem(), QDir(dir).filePath("clip.mp4")));
    ASSERT_TRUE(waitFor([&] { return !r.percents.empty() && r.percents.back() > 2.0; }, 60000));
    ASSERT_FALSE(r.outcome.has_value()) << "the conversion was too quick to cancel halfway";
    // It was writing, aside: the final name appears only with the whole file.
    EXPECT_TRUE(QFileInfo(foundation::Files::partialPathFor(QDir(dir).filePath("clip.mp4"))).size() > 0);
    EXPECT_FALSE(QFileInfo::exists(QDir(dir).filePath("clip.mp4")));
    c->cancel();
    ASSERT_TRUE(waitFor([&] { return r.outcome.has_value(); }));
    EXPECT_EQ(*r.outcome, LXExportOutcome::Cancelled);
    EXPECT_TRUE(filesIn(dir).isEmpty()) << filesIn(dir).join(", ").toStdString();
    EXPECT_FALSE(c->hasSession());
    // Requests without a session are ignored.
    c->pause();
    c->resume();
    c->cancel();
    EXPECT_FALSE(c->isPaused());
}

TEST(ExportConversion, PauseHoldsProgressAndStartingAgainResumes) {
    const QString dir = testsupport::freshDir("pause");
    auto c = LXExportConversion::create();
    Recorder r;
    c->setDelegate(&r);
    ASSERT_TRUE(c->start(slowItem(), QDir(dir).filePath("clip.mp4")));
    ASSERT_TRUE(waitFor([&] { return !r.percents.empty() && r.percents.back() > 2.0; }, 60000));
    ASSERT_FALSE(r.outcome.has_value());
    c->pause();
    c->pause(); // a second hold does not resume it
    EXPECT_TRUE(c->isPaused());
    // Let reports already on their way arrive, then watch the position stand still.
    waitFor([] { return false; }, 400);
    const double held = c->lastPercent();
    const size_t reports = r.percents.size();
    waitFor([] { return false; }, 1200);
    EXPECT_EQ(c->lastPercent(), held);
    EXPECT_EQ(r.percents.size(), reports);
    EXPECT_FALSE(r.outcome.has_value());
    // Starting again resumes where it stood, into the same file.
    EXPECT_TRUE(c->start(slowItem(), QDir(dir).filePath("other.mp4")));
    EXPECT_FALSE(c->isPaused());
    ASSERT_TRUE(waitFor([&] { return r.percents.size() > reports + 1; }, 60000));
    EXPECT_GE(r.percents.at(reports), held);
    EXPECT_GT(r.percents.back(), held);
    EXPECT_EQ(filesIn(dir),
              QStringList{QFileInfo(foundation::Files::partialPathFor(QDir(dir).filePath("clip.mp4"))).fileName()});
    c->cancel();
    ASSERT_TRUE(waitFor([&] { return r.outcome.has_value(); }));
    EXPECT_EQ(*r.outcome, LXExportOutcome::Cancelled);
}

TEST(ExportConversion, CancelAllEndsRunningExports) {
    const QString dir = testsupport::freshDir("all");
    auto c = LXExportConversion::create();
    Recorder r;
    c->setDelegate(&r);
    ASSERT_TRUE(c->start(slowItem(), QDir(dir).filePath("clip.mp4")));
    c->pause();
    EXPECT_TRUE(LXExportConversion::cancelAllAndWait(20000));
    EXPECT_EQ(LXExportConversion::runningCount(), 0);
    ASSERT_TRUE(r.outcome.has_value());
    EXPECT_EQ(*r.outcome, LXExportOutcome::Cancelled);
    EXPECT_TRUE(filesIn(dir).isEmpty());
}

// The list's conversions and the editor's exports fill a session through one function; the
// rules are all that may differ, and each difference shows in the option.
TEST(SessionFill, QueueAndExportDifferOnlyWhereTheirRulesSay) {
    auto video = LXMediaInfo::initMediaInfoWithPath(fixture("multi.mkv"));
    video->update([](LXMediaFields &f) {
        f.sampleRates = {22050};
        f.sampleRateIndex = 0;
        f.channels = {1};
        f.channelIndex = 0;
        f.outputFormat = "flv";
        f.outputExt = ".flv";
        f.subTitleIndex = 0;
    });
    SWConvertOption queue, queueNoCopy, exported;
    fillSessionOption(*video, queue, LXFillRules::forQueue(true));
    fillSessionOption(*video, queueNoCopy, LXFillRules::forQueue(false));
    fillSessionOption(*video, exported, LXFillRules::forExport());
    // Stream copy: the queue follows the setting, an export always copies a matching stream.
    EXPECT_TRUE(queue.auto_streamcopy());
    EXPECT_FALSE(queueNoCopy.auto_streamcopy());
    EXPECT_TRUE(exported.auto_streamcopy());
    // The sound's shape: the item's choice in the queue (then the container's rate), the
    // source's in an export.
    EXPECT_EQ(queue.sample_rate(), 44100); // the flv rule overrides the chosen 22050
    EXPECT_EQ(queue.channels(), 1);
    EXPECT_EQ(exported.sample_rate(), 0);
    EXPECT_EQ(exported.channels(), 0);
    // Container rules: only the queue's; the export keeps the chosen subtitle.
    EXPECT_TRUE(queue.subtitle_disable());
    EXPECT_FALSE(exported.subtitle_disable());
    // Everything else is the same.
    EXPECT_EQ(queue.start_time(), exported.start_time());
    EXPECT_EQ(queue.audioStreamIndex(), exported.audioStreamIndex());
    EXPECT_EQ(queue.videoCodeName(), exported.videoCodeName());
    EXPECT_EQ(queue.qscale(), exported.qscale());
    EXPECT_EQ(queue.width(), exported.width());
    EXPECT_EQ(queue.format(), exported.format());

    // An audio source: the queue may copy its stream, an export always encodes it.
    auto audio = LXMediaInfo::initMediaInfoWithPath(fixture("audio.flac"));
    SWConvertOption audioQueue, audioExport;
    fillSessionOption(*audio, audioQueue, LXFillRules::forQueue(true));
    fillSessionOption(*audio, audioExport, LXFillRules::forExport());
    EXPECT_TRUE(audioQueue.auto_streamcopy());
    EXPECT_FALSE(audioExport.auto_streamcopy());
}

// A list and its index written as one edit are read as one: a conversion filled while the
// main thread swaps the format never takes a list from one edit and an index from another.
TEST(SessionFill, ReadsTheItemAsOfOneEdit) {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("clip.mp4"));
    // Both edits choose mpeg4 and mp3, at different places in their lists.
    auto edit = [&](int i) {
        item->update([i](LXMediaFields &f) {
            f.vCodecs = i % 2 ? QStringList{"h264", "mpeg4"} : QStringList{"mpeg4", "h264", "hevc"};
            f.vCodecIndex = i % 2 ? 1 : 0;
            f.aCodecs = i % 2 ? QStringList{"aac", "mp3"} : QStringList{"mp3"};
            f.aCodecIndex = i % 2 ? 1 : 0;
        });
    };
    edit(0);
    std::atomic<bool> stop{false};
    std::thread editor([&] {
        for (int i = 1; !stop.load(); ++i)
            edit(i);
    });
    int torn = 0;
    for (int i = 0; i < 50000; ++i) {
        SWConvertOption o;
        fillSessionOption(*item, o, LXFillRules::forQueue(false));
        if (o.videoCodeName() != "mpeg4" || o.audioCodeName() != "mp3")
            ++torn;
    }
    stop = true;
    editor.join();
    EXPECT_EQ(torn, 0);
}
