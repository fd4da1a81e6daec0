// Every format of the catalogue converts every fixture it can take, through the same
// document, rules and gate as the window.
#include <FormatRules.h>
#include <ODDocument.h>
#include <vcCommon.h>

#include "TestSupport.h"

#include <foundation/Settings.h>
#include <framewheel/SWMediaInfoManager.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using testsupport::fixture;

namespace {

// What ffprobe calls the stream a catalogue codec name produces.
QString probeName(const QString &codec) {
    static const QHash<QString, QString> names = {
        {"libmp3lame", "mp3"},
        {"libfaac", "aac"},
        {"libvorbis", "vorbis"},
        {"libopus", "opus"},
        {"libxvid", "mpeg4"},
        {"flv", "flv1"},
        {"hevc", "hevc"},
        {"h264", "h264"},
        {"vp8", "vp8"},
        {"vp9", "vp9"},
        {"mpeg2video", "mpeg2video"},
        {"mpeg1video", "mpeg1video"},
    };
    return names.value(codec, codec);
}

struct Case {
    QString keyPath;
    QString fixtureName;
    vcTableCellViewPtr row;
};

} // namespace

TEST(CatalogueWalk, EveryFormatConvertsEveryFixtureItCanTake) {
    const QStringList videoFixtures = {"short.mp4",  "multi.mkv",   "mpeg4.avi",
                                       "hd1080.mp4", "rotated.mp4", "anamorphic.mkv"};
    const QStringList audioFixtures = {"audio.mp3", "audio.flac"};
    const QString out = testsupport::freshDir("walk");
    vcCommon::setExportMovieFolder(out);
    vcCommon::setMaxConvertingCountSameTime(2);
    foundation::Settings::setValue("cancelAll", false);

    ODDocument doc;
    doc.setUsesHistory(false);
    const FormatCatalogue &catalogue = FormatCatalogue::shared();
    std::vector<Case> cases;
    for (const QString &category : catalogue.categories()) {
        for (const FormatRecord &record : catalogue.formatsIn(category)) {
            const QString keyPath = record.key.keyPath();
            const bool audioOnly = record.isAudio;
            QStringList names = audioOnly ? audioFixtures + videoFixtures : videoFixtures;
            for (const QString &name : names) {
                auto item = doc.initEditMovieWithPath(fixture(name));
                // A silent picture has nothing to give an audio format.
                if (audioOnly && item->mediaInfoManager()->audioStreams().isEmpty())
                    continue;
                doc.loadResolutionAVCodecsWithKeyIsDefault(*item, record.key, true);
                FormatRules::applyFormatRecord(*item, record);
                item->setWidth(item->mediaInfoManager()->width());
                item->setHeight(item->mediaInfoManager()->height());
                // A second of each keeps the walk short; it still passes every encoder and muxer.
                item->setKeptRange(item->keptRange().withEnd(std::min(1.0, item->totalDuration())));
                doc.addMovie(item);
                cases.push_back({keyPath, name, doc.cellArray().back()});
            }
        }
    }
    ASSERT_GT(cases.size(), 150u);
    doc.convertAll();
    ASSERT_TRUE(testsupport::waitFor(
        [&] {
            for (const auto &c : cases)
                if (c.row->hasSession())
                    return false;
            return true;
        },
        1800000));

    int converted = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE((c.keyPath + " <- " + c.fixtureName).toStdString());
        const auto item = c.row->editMovie();
        EXPECT_EQ(c.row->controls().statusText, QString());
        const QString output = c.row->outputFile();
        ASSERT_TRUE(QFileInfo::exists(output));
        EXPECT_TRUE(output.endsWith(item->outputExt()));
        const QJsonObject j = testsupport::ffprobe(output);
        const double duration = j["format"].toObject()["duration"].toString().toDouble();
        EXPECT_GT(duration, 0.5);
        EXPECT_LT(duration, 1.6);
        QString video, audio;
        for (const auto &s : j["streams"].toArray()) {
            const QJsonObject so = s.toObject();
            if (so["codec_type"] == "video" && video.isEmpty())
                video = so["codec_name"].toString();
            if (so["codec_type"] == "audio" && audio.isEmpty())
                audio = so["codec_name"].toString();
        }
        if (item->bOutputIsVideo()) {
            EXPECT_FALSE(video.isEmpty());
            if (!item->vCodecs().isEmpty()) {
                EXPECT_EQ(video, probeName(item->vCodecs().first()));
            }
        } else {
            EXPECT_TRUE(video.isEmpty());
        }
        if (!item->mediaInfoManager()->audioStreams().isEmpty()) {
            EXPECT_FALSE(audio.isEmpty());
            const QStringList aCodecs = item->aCodecs();
            // A codec this build cannot encode falls back to the container's own.
            if (!aCodecs.isEmpty() && aCodecs.first() != "amr_nb") {
                EXPECT_EQ(audio, probeName(aCodecs.first()));
            }
        }
        ++converted;
    }
    EXPECT_EQ(converted, static_cast<int>(cases.size()));
    doc.shutdown();
}
