// The media-library hand-off: where files land, numbering, no overwriting, the order of
// closing and handing off, and races between hand-offs.
#include <sendaway/LXiTunesExportWindowController.h>

#include <foundation/BundleInfo.h>

#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using Kind = LXiTunesExportWindowController::LibraryKind;

namespace {

QString videos() { return QDir::home().filePath("Videos/" + foundation::BundleInfo::name()); }
QString music() { return QDir::home().filePath("Music/" + foundation::BundleInfo::name()); }

QByteArray contents(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// A source file made for one test, in a scratch folder.
QString sourceFile(const QString &name, const QByteArray &data) {
    const QString path = QDir(testsupport::freshDir("src")).filePath(name);
    write(path, data);
    return path;
}

class Library : public ::testing::Test {
protected:
    void SetUp() override {
        QDir(videos()).removeRecursively();
        QDir(music()).removeRecursively();
    }
};

} // namespace

TEST_F(Library, VideoGoesToVideosAndAudioToMusicInTheProgramsFolder) {
    // The private home of the test is where the desktop's folders are.
    EXPECT_EQ(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation), QDir::home().filePath("Videos"));
    const QString movie = sourceFile("trip.mov", "movie bytes");
    const QString song = sourceFile("song.mp3", "ID3 song bytes");
    EXPECT_EQ(LXiTunesExportWindowController::kindOfFile(movie), Kind::Video);
    EXPECT_EQ(LXiTunesExportWindowController::kindOfFile(song), Kind::Audio);

    const QString placedMovie = LXiTunesExportWindowController::exportToiTune(movie);
    EXPECT_EQ(placedMovie, QDir(videos()).filePath("trip.mov"));
    EXPECT_EQ(contents(placedMovie), "movie bytes");
    EXPECT_TRUE(QFileInfo::exists(movie)); // a copy: the converted file stays

    const QString placedSong = LXiTunesExportWindowController::exportToiTune(song);
    EXPECT_EQ(placedSong, QDir(music()).filePath("song.mp3"));
    // The owner's word beats the file type.
    const QString forced = LXiTunesExportWindowController::exportToiTune(song, Kind::Video);
    EXPECT_EQ(forced, QDir(videos()).filePath("song.mp3"));
}

TEST_F(Library, TakenNamesAreNumberedAndNothingIsReplaced) {
    ASSERT_TRUE(QDir().mkpath(videos()));
    write(QDir(videos()).filePath("clip.mov"), "the user's own");
    write(QDir(videos()).filePath("clip(1).mov"), "another one");
    const QString src = sourceFile("clip.mov", "new export");
    const QString placed = LXiTunesExportWindowController::exportToiTune(src);
    EXPECT_EQ(placed, QDir(videos()).filePath("clip(2).mov"));
    EXPECT_EQ(contents(placed), "new export");
    EXPECT_EQ(contents(QDir(videos()).filePath("clip.mov")), "the user's own");
    EXPECT_EQ(contents(QDir(videos()).filePath("clip(1).mov")), "another one");
    // No temporary of the copy stays behind.
    EXPECT_EQ(QDir(videos()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST_F(Library, AMoveTakesTheFileAway) {
    const QString src = sourceFile("made-for-library.mov", "only for the library");
    const QString placed = LXiTunesExportWindowController::exportToiTune(src, Kind::Automatic, true);
    EXPECT_EQ(contents(placed), "only for the library");
    EXPECT_FALSE(QFileInfo::exists(src));
}

TEST_F(Library, NothingToHandOffOrNowhereToPutItReportsNothing) {
    EXPECT_TRUE(LXiTunesExportWindowController::exportToiTune(QDir::home().filePath("no-such.mov")).isEmpty());
    EXPECT_TRUE(LXiTunesExportWindowController::exportToiTune(QDir::homePath()).isEmpty()); // a folder
    // The library folder's place is taken by a file: no folder, no hand-off, nothing lost.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(videos()).path()));
    write(videos(), "not a folder");
    const QString src = sourceFile("x.mov", "x");
    EXPECT_TRUE(LXiTunesExportWindowController::exportToiTune(src).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(src));
    QFile::remove(videos());
}

TEST_F(Library, HandOffsRacingForOneNameGetOneNameEach) {
    const QByteArray data(3 << 20, 'v'); // several copy chunks each
    const QString src = sourceFile("race.mov", data);
    std::vector<QString> placed(6);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < placed.size(); ++i)
        threads.emplace_back([&, i] { placed[i] = LXiTunesExportWindowController::exportToiTune(src); });
    for (auto &t : threads)
        t.join();
    QSet<QString> names;
    for (const QString &p : placed) {
        EXPECT_FALSE(p.isEmpty());
        EXPECT_EQ(contents(p).size(), data.size()) << p.toStdString();
        names.insert(p);
    }
    EXPECT_EQ(names.size(), 6);
    EXPECT_TRUE(names.contains(QDir(videos()).filePath("race(5).mov")));
}

TEST_F(Library, TheSheetClosesFirstThenTheFileTurnsUp) {
    QWidget window;
    window.resize(700, 400);
    window.show();
    std::unique_ptr<LXiTunesExportWindowController> w(LXiTunesExportWindowController::shareWindowController());
    EXPECT_EQ(w->windowNibName(), "MovieBuildingWin");
    w->beginSheet(&window);
    w->conversionStarted();
    w->setMoveIntoLibrary(true);
    int closed = 0;
    bool visibleAtClose = true;
    QObject::connect(w.get(), &LXExportWindowController::exportWindowClosed, [&] {
        ++closed;
        visibleAtClose = w->isVisible();
    });
    const QString src = sourceFile("handed.mov", "handed off");
    w->shareToiTunes(src);
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(visibleAtClose);
    EXPECT_EQ(w->exportState(), LXExportWindowController::ExportState::Closed);
    // The window may go at once: the hand-off holds nothing of it.
    w.reset();
    ASSERT_TRUE(LXiTunesExportWindowController::waitForHandOffs(20000));
    EXPECT_EQ(LXiTunesExportWindowController::runningHandOffs(), 0);
    EXPECT_EQ(contents(QDir(videos()).filePath("handed.mov")), "handed off");
    EXPECT_FALSE(QFileInfo::exists(src));
}
