#include <ODDocument.h>
#include <vcCommon.h>
#include <vcHistory.h>

#include <framewheel/SWMediaInfoManager.h>
#include <reelwright/LXMediaCommon.h>

#include "FakeWindow.h"
#include "TestSupport.h"

#include <foundation/NotificationCenter.h>
#include <foundation/PropertyList.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using testsupport::fixture;

namespace {

// A fresh document over a fresh data folder.
struct Doc {
    FakeWindow win;
    ODDocument doc;
    Doc() {
        QFile::remove(vcHistory::defaultFile());
        QFile::remove(vcCommon::bookmarkFile());
        doc.setWindow(&win);
    }
    bool drop(const QStringList &paths, int timeoutMs = 60000) {
        doc.concludeDragFile(paths);
        return testsupport::waitFor([&] { return !doc.isAdding(); }, timeoutMs);
    }
    QStringList names() const {
        QStringList n;
        for (const auto &row : doc.cellArray())
            n << QFileInfo(row->editMovie()->fileName()).fileName();
        return n;
    }
};

QString linkTo(const QString &dir, const QString &name, const QString &target) {
    const QString path = QDir(dir).filePath(name);
    QFile::link(target, path);
    return path;
}

QString writeText(const QString &dir, const QString &name) {
    const QString path = QDir(dir).filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("plain text\n");
    return path;
}

} // namespace

TEST(Intake, RefusedTextsLookAtTheExtensionOnly) {
    const QString dir = testsupport::freshDir("intake");
    QDir().mkpath(dir + "/xls_exports");
    QDir().mkpath(dir + "/old.doc.files");
    const QString clip = fixture("short.mp4");
    const QStringList paths = {
        linkTo(dir, "my.documentary.mp4", clip),
        linkTo(dir + "/xls_exports", "report.mp4", clip),
        linkTo(dir + "/old.doc.files", "scene.mp4", clip),
        linkTo(dir, "movie.vob", clip),
        linkTo(dir, "movie.VOB", clip),
        linkTo(dir, "movie.Vob", clip),
        linkTo(dir, "notes.xls", clip),
        linkTo(dir, "poster.JPG", clip),
    };
    Doc d;
    ASSERT_TRUE(d.drop(paths));
    EXPECT_EQ(d.names(), QStringList({"my.documentary.mp4", "report.mp4", "scene.mp4"}));
    LXMediaInfo byName;
    byName.setFileName("/a/b.XLSX");
    EXPECT_FALSE(d.doc.isVideoFile(byName));
    byName.setFileName("/xlsx/b.mkv");
    EXPECT_TRUE(d.doc.isVideoFile(byName));
    EXPECT_TRUE(ODDocument::isForbbidenFile("/x/movie.VOB"));
    EXPECT_FALSE(ODDocument::isForbbidenFile("/x/movie.Vob"));
}

TEST(Intake, FoldersTextFilesAndRepeatsAreSkippedAndProgressCountsOffers) {
    const QString dir = testsupport::freshDir("intake");
    QDir().mkpath(dir + "/folder");
    linkTo(dir + "/folder", "inside.mp4", fixture("short.mp4"));
    const QString a = linkTo(dir, "a.mp4", fixture("short.mp4"));
    const QString txt = writeText(dir, "b.txt");
    const QString c = linkTo(dir, "c.mp3", fixture("audio.mp3"));
    Doc d;
    ASSERT_TRUE(d.drop({a, txt, c, dir + "/folder"}));
    EXPECT_EQ(d.names(), QStringList({"a.mp4", "c.mp3"}));
    ASSERT_EQ(d.win.progress.size(), 2u);
    EXPECT_DOUBLE_EQ(d.win.progress[0], 25.0);
    EXPECT_DOUBLE_EQ(d.win.progress[1], 75.0);
    EXPECT_EQ(d.win.progressSheetsShown, 1);
    EXPECT_EQ(d.win.progressSheetsStopped, 1);
    // The first row of a list that was empty is selected and previewed.
    EXPECT_EQ(d.doc.currentIndex(), 0);
    EXPECT_EQ(d.win.previewed, d.doc.itemAt(0));
    EXPECT_TRUE(d.win.convertEnabled);
    EXPECT_FALSE(d.win.tipShownEmpty);
    // The history was saved with the two rows; offering them again adds nothing, and
    // neither does one path offered twice.
    EXPECT_TRUE(vcHistory().contains(a));
    const QString e = linkTo(dir, "e.mp4", fixture("short.mp4"));
    ASSERT_TRUE(d.drop({a, c, e, e}));
    EXPECT_EQ(d.names(), QStringList({"a.mp4", "c.mp3", "e.mp4"}));
    // Indexes and counts follow the list.
    for (size_t i = 0; i < d.doc.cellArray().size(); ++i) {
        EXPECT_EQ(d.doc.itemAt(int64_t(i))->editMovieIndex(), i);
        EXPECT_EQ(d.doc.itemAt(int64_t(i))->editMovieCount(), 3u);
        EXPECT_EQ(d.doc.cellArray()[i]->idx(), int64_t(i));
    }
}

TEST(Intake, NewItemsGetTheDefaultFormatAndItsLists) {
    Doc d;
    ASSERT_TRUE(d.drop({fixture("multi.mkv"), fixture("audio.flac")}));
    ASSERT_EQ(d.doc.cellArray().size(), 2u);
    const auto video = d.doc.itemAt(0);
    EXPECT_EQ(video->outputFormat(), "mov");
    EXPECT_EQ(video->outputDesc(), "Quicktime Movie");
    EXPECT_FALSE(video->vCodecs().isEmpty());
    EXPECT_EQ(video->resolutionIndex(), video->resolutions().size());
    const auto audio = d.doc.itemAt(1);
    EXPECT_EQ(audio->baseOutputType(), "Audio");
    EXPECT_EQ(audio->outputFormat(), "mp3");
    EXPECT_FALSE(audio->aCodecs().isEmpty());
    EXPECT_EQ(d.doc.lastKey().lastKey(), "Audio.mp3");
    // A row that is shown gets a picture of its clip, made apart from the intake.
    d.doc.wantPicture(d.doc.cellArray()[0]);
    EXPECT_TRUE(testsupport::waitFor([&] { return !video->thumbNailImage().isNull(); }))
        << "the row shows a picture of its clip";
    EXPECT_NE(video->thumbNailImage().cacheKey(), LXMediaCommon::defaultMovieImage().cacheKey());
}

// The command line's document makes no pictures: a long batch keeps no picture per file.
TEST(Intake, ADocumentWithoutRowsToShowMakesNoPictures) {
    Doc d;
    d.doc.setMakesPictures(false);
    ASSERT_TRUE(d.drop({fixture("multi.mkv"), fixture("clip.mp4")}));
    ASSERT_EQ(d.doc.cellArray().size(), 2u);
    for (const auto &row : d.doc.cellArray()) {
        const LXMediaInfoPtr item = row->editMovie();
        EXPECT_TRUE(item->mediaInfoManager()->thumbnailImage().isNull());
        EXPECT_GT(item->totalDuration(), 0.0);
        EXPECT_FALSE(item->vCodecs().isEmpty());
    }
}

TEST(Intake, NotificationAddsFilesAndCancelStopsBeforeTheNextFile) {
    Doc d;
    foundation::NotificationCenter::defaultCenter().post("addFilesKey",
                                                         {{"addFiles", QStringList{fixture("short.mp4")}}});
    ASSERT_TRUE(testsupport::waitFor([&] { return d.doc.cellArray().size() == 1 && !d.doc.isAdding(); }));

    const QString dir = testsupport::freshDir("cancel");
    QStringList paths;
    for (int i = 0; i < 10; ++i)
        paths << linkTo(dir, QStringLiteral("c%1.mp4").arg(i), fixture("clip.mp4"));
    d.win.progress.clear();
    d.doc.concludeDragFile(paths);
    ASSERT_TRUE(testsupport::waitFor([&] { return d.win.progress.size() >= 4; }));
    d.doc.cancelAddFiles(true);
    ASSERT_TRUE(testsupport::waitFor([&] { return !d.doc.isAdding(); }));
    const size_t rows = d.doc.cellArray().size();
    EXPECT_GE(rows, 5u);
    EXPECT_LT(rows, 11u);
    // What was added is in the saved history.
    EXPECT_EQ(vcHistory().read().size(), qsizetype(rows));
}

TEST(Intake, FiveHundredOffersOfWhichFiftyFailGiveFourHundredFiftyRowsInOrder) {
    const QString dir = testsupport::freshDir("many");
    QStringList paths;
    QStringList expected;
    const QStringList sources = {fixture("short.mp4"), fixture("audio.mp3"), fixture("mpeg4.avi")};
    for (int i = 0; i < 500; ++i) {
        const QString name = QStringLiteral("f%1").arg(i, 3, 10, QChar('0'));
        if (i % 10 == 3) {
            // Every tenth offer fails: refused by name, or unreadable.
            paths << (i % 20 == 3 ? writeText(dir, name + ".txt") : linkTo(dir, name + ".mp4", fixture("random.mp4")));
            continue;
        }
        const QString src = sources[i % 3];
        paths << linkTo(dir, name + "." + QFileInfo(src).suffix(), src);
        expected << QFileInfo(paths.last()).fileName();
    }
    Doc d;
    ASSERT_TRUE(d.drop(paths, 240000));
    EXPECT_EQ(d.names(), expected);
    EXPECT_EQ(d.doc.cellArray().size(), 450u);
}

namespace {
QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString writeBytes(const QString &dir, const QString &name, const QByteArray &bytes) {
    const QString path = QDir(dir).filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QByteArray le(quint32 v, int n) {
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b.append(static_cast<char>(v >> (8 * i) & 0xff));
    return b;
}

// Audio files that look like audio from outside: an MP3 frame header followed by text, a
// FLAC whose STREAMINFO has lost its rate, channels and sample size, and a WAV whose header
// says MP3 while its data is text.
QStringList malformedAudio(const QString &dir) {
    const QByteArray text = QByteArray("this is not sound, only words about sound. ").repeated(500);
    QStringList made;
    const QByteArray mp3 = readAll(fixture("audio.mp3"));
    qsizetype frame = 0;
    if (mp3.startsWith("ID3") && mp3.size() > 10)
        frame = 10 + ((mp3[6] & 0x7f) << 21 | (mp3[7] & 0x7f) << 14 | (mp3[8] & 0x7f) << 7 | (mp3[9] & 0x7f));
    made << writeBytes(dir, "header-then-garbage.mp3", mp3.mid(frame, 4) + text);
    QByteArray flac = readAll(fixture("audio.flac"));
    if (flac.size() > 26)
        flac.replace(8 + 10, 8, QByteArray(8, '\0')); // after "fLaC" and the block header
    made << writeBytes(dir, "broken-streaminfo.flac", flac);
    const QByteArray fmt = le(0x0055, 2) + le(2, 2) + le(44100, 4) + le(16000, 4) + le(1, 2) + le(0, 2);
    const QByteArray wav = "RIFF" + le(4 + 8 + fmt.size() + 8 + text.size(), 4) + "WAVE" + "fmt " + le(fmt.size(), 4) +
                           fmt + "data" + le(text.size(), 4) + text;
    made << writeBytes(dir, "claims-mp3.wav", wav);
    return made;
}
} // namespace

// What the probe cannot read becomes no row: each malformed file is refused with a reason,
// the good one beside them is added, and the command line refuses the same files.
TEST(Intake, MalformedAudioIsRefusedWithAReasonLikeTheCommandLineDoes) {
    const QString dir = testsupport::freshDir("malformed");
    const QStringList bad = malformedAudio(dir);
    const QString good = linkTo(dir, "good.mp3", fixture("audio.mp3"));
    Doc d;
    ASSERT_TRUE(d.drop(bad + QStringList{good}));
    EXPECT_EQ(d.names(), QStringList({"good.mp3"}));
    for (const QString &path : bad) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(d.doc.lastSkippedReasons().value(path).isEmpty());
        QByteArray out, err;
        EXPECT_EQ(testsupport::runProgram(testsupport::binary("cinvora-cli"), {"probe", path}, &out, &err), 1);
        EXPECT_TRUE(out.contains("\"error\"")) << out.constData();
        const QString converted = dir + "/" + QFileInfo(path).completeBaseName() + "-out.mp3";
        EXPECT_EQ(testsupport::runProgram(testsupport::binary("cinvora-cli"), {"convert", path, converted}, &out, &err),
                  1);
        EXPECT_FALSE(QFileInfo::exists(converted));
    }
    ASSERT_EQ(d.win.questions.size(), 1);
    EXPECT_EQ(d.win.questions.first(), "3 files were not added");
}

// A kernel file the demuxers take for a sound stream without rate or length is no media
// file: refused when dropped (with a reason) and when a saved list names it.
TEST(Intake, AFileThatOpensAsSoundWithNothingInItIsRefused) {
    const QString notes = QStringLiteral("/sys/kernel/notes");
    if (!QFileInfo(notes).isReadable())
        GTEST_SKIP() << "no readable " << notes.toStdString() << " here";
    Doc d;
    ASSERT_TRUE(d.drop({notes, fixture("short.mp4")}));
    EXPECT_EQ(d.names(), QStringList({"short.mp4"}));
    EXPECT_FALSE(d.doc.lastSkippedReasons().value(notes).isEmpty());
    ASSERT_EQ(d.win.questions.size(), 1);
    EXPECT_EQ(d.win.questions.first(), "1 file was not added");

    Doc again;
    ASSERT_TRUE(foundation::PropertyList::writeFile(
        vcHistory::defaultFile(),
        QVariantList{QVariantMap{{"currentFilePath", notes}}, QVariantMap{{"currentFilePath", fixture("audio.mp3")}}}));
    again.doc.loadHistoryAtLuanch();
    ASSERT_TRUE(testsupport::waitFor([&] { return !again.doc.isAdding(); }, 60000));
    EXPECT_EQ(again.names(), QStringList({"audio.mp3"}));
}

// A name that is not UTF-8 reaches the list decoded (drops, file choosers): the file is
// found by its bytes and added; two such files whose names read the same are refused
// with that reason rather than one taken for the other.
TEST(Intake, NamesThatAreNotUtf8AreAddedUnlessTheyReadTheSame) {
    const QString dir = testsupport::freshDir("intake-bytes");
    auto copyTo = [&](const QByteArray &name) {
        QFile in(fixture("short.mp4"));
        QFile out;
        return in.open(QIODevice::ReadOnly) &&
               out.open(std::fopen((QFile::encodeName(dir) + "/" + name).constData(), "wb"), QIODevice::WriteOnly,
                        QFileDevice::AutoCloseHandle) &&
               out.write(in.readAll()) > 0;
    };
    ASSERT_TRUE(copyTo("one\xff.mp4"));
    ASSERT_TRUE(copyTo("two\xfe.mp4"));
    ASSERT_TRUE(copyTo("two\xfd.mp4"));
    Doc d;
    const QString one = dir + QStringLiteral("/one\uFFFD.mp4"), two = dir + QStringLiteral("/two\uFFFD.mp4");
    ASSERT_TRUE(d.drop({one, two}));
    EXPECT_EQ(d.names(), QStringList{QStringLiteral("one\uFFFD.mp4")});
    ASSERT_EQ(d.doc.cellArray().size(), 1u);
    EXPECT_TRUE(d.doc.itemAt(0)->mediaInfoManager()->isValid());
    EXPECT_TRUE(d.doc.lastSkippedReasons().value(two).contains("2 files in its folder read the same"))
        << d.doc.lastSkippedReasons().value(two).toStdString();
}
