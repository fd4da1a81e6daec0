// The saved list's entries on their own: encoding, decoding, what is refused, and what an
// entry gives back to an item. The document's restore around them is HistoryTest's.
#include <FormatRules.h>
#include <vcCommon.h>
#include <vcHistory.h>

#include "TestSupport.h"

#include <framewheel/SWMediaInfoManager.h>

#include <QFile>
#include <gtest/gtest.h>

using testsupport::fixture;

namespace {

const FormatRecord *catalogueRecord(const QString &keyPath) { return FormatCatalogue::shared().find(keyPath); }

// What the document does when a restored item needs its lists: the kept format's.
struct Loader {
    int calls = 0;
    QString keyPathSeen;
    vcHistory::ListLoader fn() {
        return [this](LXMediaInfo &item) {
            ++calls;
            keyPathSeen = item.chosenKeyPath();
            FormatRules::loadDefaults(item, catalogueRecord(item.chosenKeyPath()));
        };
    }
};

vcHistoryEntry everyField() {
    vcHistoryEntry e;
    e.path = QStringLiteral("/media/films/holiday 2019.mkv");
    e.ext = QStringLiteral(".webm");
    e.format = QStringLiteral("webm");
    e.desc = QStringLiteral("2--WebM");
    e.baseType = QStringLiteral("Web Video");
    e.trackStart = 3.1415926535;
    e.trackEnd = 17.25;
    e.subtitleIndex = -1;
    e.audioTrackIndex = 2;
    e.subtitleFile = QStringLiteral("/media/films/holiday 2019.srt");
    e.keyPath = QStringLiteral("Web Video.2--WebM");
    e.parameters.aCodecIndex = 1;
    e.parameters.vCodecIndex = 0;
    e.parameters.resolutionIndex = 3;
    e.parameters.quality = LXQuality::Low;
    e.probe = {{"fileSize", qlonglong(123456789)},
               {"fileModified", qlonglong(1'700'000'000'123'456'789)},
               {"duration", qlonglong(17'500'000)}};
    e.convertedOutput = QStringLiteral("/home/me/Videos/holiday 2019.webm");
    e.convertedDigest = QStringLiteral("9f86d081884c7d65");
    return e;
}

} // namespace

TEST(HistoryEntry, EveryFieldSurvivesTheFileUnderItsOwnKey) {
    const vcHistoryEntry e = everyField();
    const QVariantMap stored = vcHistory::toStored(e);
    // The keys are what every release reads; a renamed one would lose that field of every list.
    EXPECT_EQ(
        stored.keys(),
        QStringList({"convertedFingerprintKey", "convertedOutputFileKey", "currentAudioTrackIdxKey",
                     "currentBaseTypeDescKey", "currentDescKey", "currentExtKey", "currentFilePath", "currentFormatKey",
                     "currentOutputKeyPathKey", "currentParametersKey", "currentPluginSubTitleKey",
                     "currentSubTitleIdxKey", "currentTrackEndKey", "currentTrackStartKey", "sourceProbeKey"}));
    EXPECT_EQ(stored.value("currentTrackStartKey").toDouble(), 3.1415926535);
    EXPECT_EQ(stored.value("sourceProbeKey").toMap().value("fileModified").toLongLong(), 1'700'000'000'123'456'789);

    const vcHistory list(testsupport::freshDir("entry-roundtrip") + "/FileList.plist");
    ASSERT_TRUE(list.write({stored}));
    const QVariantList read = list.read();
    ASSERT_EQ(read.size(), 1);
    const auto back = vcHistory::fromStored(read[0]);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, e);
    EXPECT_TRUE(list.contains(e.path));
    EXPECT_FALSE(list.contains(e.path + ".other"));
}

// An item, its entry and the entry restored onto a fresh probe of the same file: every
// choice comes back, including that an audio format was chosen for a film.
TEST(HistoryEntry, AnItemComesBackFromItsEntry) {
    const QString path = fixture("multi.mkv");
    const auto item = LXMediaInfo::initMediaInfoWithPath(path);
    ASSERT_TRUE(item->bSourceIsVideo());
    const QString aac = QStringLiteral("Audio.n--AAC");
    item->setChosenKeyPath(aac);
    FormatRules::loadDefaults(*item, catalogueRecord(aac));
    FormatRules::applyFormatRecord(*item, *catalogueRecord(aac));
    ASSERT_GE(item->sampleRates().size(), 2);
    item->setSampleRateIndex(1);
    item->setKeptRange(LXKeptRange{1'250'000, 13'500'001});
    item->setAudioStreamIndex(1);
    item->setSubTitleIndex(-1);
    item->setSrtSubtitleFile(fixture("subs.srt"));
    item->setOutputQuality(LXQuality::Middle);

    const vcHistoryEntry e = vcHistory::entryOf(*item, nullptr);
    EXPECT_EQ(e.path, path);
    EXPECT_EQ(e.keyPath, aac);
    EXPECT_EQ(e.trackStart, 1.25);
    EXPECT_FALSE(e.probe.isEmpty()) << "a valid probe is kept";
    EXPECT_TRUE(e.convertedOutput.isEmpty() && e.convertedDigest.isEmpty()) << "no job, nothing finished";

    const auto decoded = vcHistory::fromStored(vcHistory::toStored(e));
    ASSERT_TRUE(decoded);
    const auto fresh = LXMediaInfo::initMediaInfoWithProbe(path, item->mediaInfoManager());
    ASSERT_TRUE(fresh->bOutputIsVideo());
    Loader loader;
    EXPECT_EQ(vcHistory::restore(*decoded, *fresh, loader.fn()), QString());
    EXPECT_EQ(loader.calls, 1);
    EXPECT_EQ(loader.keyPathSeen, aac) << "the lists are those of the kept format";
    EXPECT_EQ(fresh->outputExt(), ".aac");
    EXPECT_EQ(fresh->outputFormat(), "adts");
    EXPECT_EQ(fresh->outputDesc(), item->outputDesc());
    EXPECT_EQ(fresh->baseOutputType(), item->baseOutputType());
    EXPECT_EQ(fresh->keptRange(), (LXKeptRange{1'250'000, 13'500'001}));
    EXPECT_EQ(fresh->audioStreamIndex(), 1);
    EXPECT_EQ(fresh->subTitleIndex(), -1);
    EXPECT_EQ(fresh->srtSubtitleFile(), fixture("subs.srt"));
    EXPECT_EQ(fresh->outputQuality(), LXQuality::Middle);
    EXPECT_EQ(fresh->chosenKeyPath(), aac);
    EXPECT_FALSE(fresh->bOutputIsVideo()) << "the catalogue says the kept format is sound only";
    EXPECT_EQ(FormatRules::parametersOf(*fresh), FormatRules::parametersOf(*item));
}

TEST(HistoryEntry, WhatCannotBeARowIsRefused) {
    QString why;
    for (const QVariant &v : {QVariant(QStringLiteral("not a dictionary")), QVariant(42), QVariant(QVariantList{1})}) {
        why.clear();
        EXPECT_FALSE(vcHistory::fromStored(v, &why));
        EXPECT_EQ(why, "it is not a dictionary");
    }
    for (const QVariantMap &m :
         {QVariantMap{}, QVariantMap{{"currentFilePath", ""}}, QVariantMap{{"currentFilePath", QVariantList{1, 2}}}}) {
        why.clear();
        EXPECT_FALSE(vcHistory::fromStored(m, &why));
        EXPECT_EQ(why, "it names no file");
    }
}

// Values an entry cannot hold are left out, as if not stored; the rest of it stays.
TEST(HistoryEntry, NumbersThatDoNotFitAreLeftOut) {
    const auto e = vcHistory::fromStored(QVariantMap{{"currentFilePath", "/a.mp4"},
                                                     {"currentTrackStartKey", QStringLiteral("nan")},
                                                     {"currentTrackEndKey", QStringLiteral("inf")},
                                                     {"currentSubTitleIdxKey", qlonglong(99999999999)},
                                                     {"currentAudioTrackIdxKey", -2},
                                                     {"currentDescKey", "MP4"}});
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->trackStart);
    EXPECT_FALSE(e->trackEnd);
    EXPECT_FALSE(e->subtitleIndex);
    EXPECT_FALSE(e->audioTrackIndex);
    EXPECT_EQ(e->desc, "MP4");
    EXPECT_FALSE(e->baseType) << "absent, not empty";
    for (const auto &[stored, read] : {std::pair{QVariant(-1), -1}, {QVariant(QStringLiteral("3")), 3}}) {
        const auto t =
            vcHistory::fromStored(QVariantMap{{"currentFilePath", "/a.mp4"}, {"currentSubTitleIdxKey", stored}});
        ASSERT_TRUE(t && t->subtitleIndex);
        EXPECT_EQ(*t->subtitleIndex, read);
    }
}

TEST(HistoryEntry, AKeptRangeOutsideTheFileIsTheWholeFile) {
    struct Case {
        std::optional<double> start, end;
        LXKeptRange expected;
    };
    const double total = 24.0;
    const LXKeptRange whole{0, 24'000'000};
    for (const Case &c : {Case{2.0, 6.5, {2'000'000, 6'500'000}}, Case{std::nullopt, 6.5, {0, 6'500'000}},
                          Case{2.0, std::nullopt, {2'000'000, 24'000'000}}, Case{std::nullopt, std::nullopt, whole},
                          Case{-1.0, 6.5, whole}, Case{2.0, 24.5, whole}, Case{7.0, 6.5, whole},
                          Case{0.0000004, 24.0, {0, 24'000'000}}}) {
        vcHistoryEntry e;
        e.trackStart = c.start;
        e.trackEnd = c.end;
        EXPECT_EQ(e.keptRangeWithin(total), c.expected) << c.start.value_or(-99) << ".." << c.end.value_or(-99);
    }
}

// An extension or container no format of the catalogue writes could make the output's name
// a path: refused, and the item keeps what it had. An audio row's container comes from its
// extension, so only the extension is looked at there.
TEST(HistoryEntry, FormatsTheCatalogueDoesNotKnowAreRefusedAndChangeNothing) {
    const auto video = LXMediaInfo::initMediaInfoWithPath(fixture("short.mp4"));
    const auto audio = LXMediaInfo::initMediaInfoWithPath(fixture("audio.mp3"));
    ASSERT_TRUE(video->bSourceIsVideo());
    ASSERT_FALSE(audio->bSourceIsVideo());
    struct Case {
        LXMediaInfoPtr item;
        QString ext, format, refusal;
    };
    const QList<Case> cases = {
        {video, ".exe", "mov", R"(currentExtKey ".exe" is no format of the catalogue)"},
        {video, "/../../../escaped.mp3", "mp3",
         R"(currentExtKey "/../../../escaped.mp3" is no format of the catalogue)"},
        {video, "..", "mov", R"(currentExtKey ".." is no format of the catalogue)"},
        {video, ".mkv", "../../../x", R"(currentFormatKey "../../../x" is no format of the catalogue)"},
        {audio, ".exe", "mp3", R"(currentExtKey ".exe" is no format of the catalogue)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((c.ext + " " + c.format).toStdString());
        vcHistoryEntry e;
        e.path = c.item->fileName();
        e.ext = c.ext;
        e.format = c.format;
        e.trackStart = 1.0;
        e.keyPath = QStringLiteral("Common Video.2--MKV");
        const LXMediaFields before = c.item->snapshot();
        Loader loader;
        EXPECT_EQ(vcHistory::restore(e, *c.item, loader.fn()), c.refusal);
        EXPECT_EQ(loader.calls, 0);
        const LXMediaFields after = c.item->snapshot();
        EXPECT_EQ(after.outputExt, before.outputExt);
        EXPECT_EQ(after.outputFormat, before.outputFormat);
        EXPECT_EQ(after.keptRange, before.keptRange);
        EXPECT_EQ(after.chosenKeyPath, before.chosenKeyPath);
    }
    vcHistoryEntry e;
    e.path = audio->fileName();
    e.ext = QStringLiteral(".m4a");
    e.format = QStringLiteral("../../../x");
    Loader loader;
    EXPECT_EQ(vcHistory::restore(e, *audio, loader.fn()), QString());
    EXPECT_EQ(audio->outputExt(), ".m4a");
    EXPECT_EQ(audio->outputFormat(), "m4a");
    // Nothing stored: the item's default format.
    const auto plain = LXMediaInfo::initMediaInfoWithPath(fixture("clip.mp4"));
    vcHistoryEntry none;
    none.path = plain->fileName();
    EXPECT_EQ(vcHistory::restore(none, *plain, loader.fn()), QString());
    EXPECT_EQ(plain->outputExt(), LXDefaultFormat::forSource(true).ext);
    EXPECT_EQ(plain->outputFormat(), LXDefaultFormat::forSource(true).format);
}

// An entry as the first releases wrote it: no chosen format, parameters, probe or outcome,
// indexes as integers, trims with every decimal the slider left.
TEST(HistoryEntry, AnEntryFromAnEarlierReleaseReadsFieldByField) {
    const QString file = testsupport::freshDir("entry-early") + "/FileList.plist";
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                           "<plist version=\"1.0\"><array><dict>"
                           "<key>currentAudioTrackIdxKey</key><integer>1</integer>"
                           "<key>currentBaseTypeDescKey</key><string>Common Video</string>"
                           "<key>currentDescKey</key><string>2--MKV</string>"
                           "<key>currentExtKey</key><string>.mkv</string>"
                           "<key>currentFilePath</key><string>%1</string>"
                           "<key>currentFormatKey</key><string>matroska</string>"
                           "<key>currentPluginSubTitleKey</key><string>%2</string>"
                           "<key>currentSubTitleIdxKey</key><integer>-1</integer>"
                           "<key>currentTrackEndKey</key><real>17.0000001</real>"
                           "<key>currentTrackStartKey</key><real>3.1415926535</real>"
                           "</dict></array></plist>\n")
                .arg(fixture("multi.mkv"), fixture("subs.srt"))
                .toUtf8());
    f.close();
    const QVariantList stored = vcHistory(file).read();
    ASSERT_EQ(stored.size(), 1);
    const auto e = vcHistory::fromStored(stored[0]);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->path, fixture("multi.mkv"));
    EXPECT_EQ(e->ext, ".mkv");
    EXPECT_EQ(e->format, "matroska");
    EXPECT_EQ(e->desc, "2--MKV");
    EXPECT_EQ(e->baseType, "Common Video");
    EXPECT_EQ(e->trackStart, 3.1415926535);
    EXPECT_EQ(e->trackEnd, 17.0000001);
    EXPECT_EQ(e->subtitleIndex, -1);
    EXPECT_EQ(e->audioTrackIndex, 1);
    EXPECT_EQ(e->subtitleFile, fixture("subs.srt"));
    EXPECT_TRUE(e->keyPath.isEmpty());
    EXPECT_EQ(e->parameters, FormatRules::FormatChoices());
    EXPECT_TRUE(e->probe.isEmpty());
    EXPECT_TRUE(e->convertedOutput.isEmpty() && e->convertedDigest.isEmpty());

    const auto item = LXMediaInfo::initMediaInfoWithPath(fixture("multi.mkv"));
    Loader loader;
    EXPECT_EQ(vcHistory::restore(*e, *item, loader.fn()), QString());
    EXPECT_EQ(item->keptRange(), (LXKeptRange{3'141'593, 17'000'000}));
    EXPECT_EQ(item->outputExt(), ".mkv");
    EXPECT_EQ(item->audioStreamIndex(), 1);
    EXPECT_TRUE(item->chosenKeyPath().isEmpty());
    EXPECT_TRUE(item->bOutputIsVideo()) << "no kept format: the output stays as the source";
}
