#include <ODDocument.h>
#include <vcCommon.h>
#include <vcHistory.h>

#include "FakeWindow.h"
#include "TestSupport.h"

#include <foundation/Log.h>
#include <foundation/PropertyList.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using foundation::PropertyList;
using testsupport::fixture;

namespace {

struct Doc {
    FakeWindow win;
    ODDocument doc;
    Doc() { doc.setWindow(&win); }
    bool rebuild() {
        doc.loadHistoryAtLuanch();
        return testsupport::waitFor([&] { return !doc.isAdding(); }, 60000);
    }
};

void resetStores() {
    QFile::remove(vcHistory::defaultFile());
    QFile::remove(vcCommon::bookmarkFile());
}

} // namespace

TEST(History, RoundTripRestoresEveryStoredField) {
    resetStores();
    const QString srt = fixture("subs.srt");
    {
        Doc d;
        d.doc.concludeDragFile({fixture("multi.mkv"), fixture("audio.flac"), fixture("clip.mp4")});
        ASSERT_TRUE(testsupport::waitFor([&] { return !d.doc.isAdding(); }));
        ASSERT_EQ(d.doc.cellArray().size(), 3u);
        // A quality saved in the editor (it reaches every job), then Common Video / MKV for
        // every job, then trims and tracks. The quality is no choice among one format's lists:
        // the change of format keeps it.
        const auto edited = d.doc.itemAt(0)->copyMovie();
        edited->setOutputQuality(LXQuality::Low);
        d.doc.saveMediaInfo(*edited);
        d.doc.categoryButtonUp(2);
        d.doc.selectCellWithDictionaryWithSubKey("2--MKV");
        for (qsizetype i = 0; i < 3; ++i)
            ASSERT_EQ(d.doc.itemAt(i)->outputQuality(), LXQuality::Low) << i;
        auto a = d.doc.itemAt(0);
        a->setKeptRange(LXKeptRange::fromSeconds(12.5, 20.0));
        a->setAudioStreamIndex(1);
        a->setSubTitleIndex(-1);
        a->setSrtSubtitleFile(srt);
        auto b = d.doc.itemAt(1);
        b->setOutputExt(".m4a");
        b->setOutputFormat("ipod");
        b->setAudioStreamIndex(-1);
        ASSERT_TRUE(d.doc.saveHistoryFile());
    }
    const QVariantList entries = vcHistory().read();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_TRUE(entries[0].toMap().contains("currentPluginSubTitleKey"));
    EXPECT_FALSE(entries[1].toMap().contains("currentPluginSubTitleKey"));
    EXPECT_FALSE(entries[2].toMap().contains("currentPluginSubTitleKey"));

    Doc d;
    ASSERT_TRUE(d.rebuild());
    ASSERT_EQ(d.doc.cellArray().size(), 3u);
    auto a = d.doc.itemAt(0);
    EXPECT_EQ(a->fileName(), fixture("multi.mkv"));
    EXPECT_EQ(a->trackStart(), 12.5);
    EXPECT_EQ(a->trackEnd(), 20.0);
    EXPECT_DOUBLE_EQ(a->trackStartPos(), 12.5 / a->totalDuration());
    EXPECT_EQ(a->audioStreamIndex(), 1);
    EXPECT_EQ(a->subTitleIndex(), -1);
    EXPECT_EQ(a->srtSubtitleFile(), srt);
    EXPECT_EQ(a->outputFormat(), "matroska");
    EXPECT_EQ(a->outputExt(), ".mkv");
    EXPECT_EQ(a->outputDesc(), "Quicktime Movie");
    EXPECT_EQ(a->baseOutputType(), "Apple Device");
    // The lists come from the chosen format, not from the default one.
    EXPECT_EQ(a->chosenKeyPath(), "Common Video.2--MKV");
    EXPECT_TRUE(a->aCodecs().contains("flac"));
    // An audio source restores its container from the stored extension.
    auto b = d.doc.itemAt(1);
    EXPECT_EQ(b->outputFormat(), "m4a");
    EXPECT_EQ(b->outputExt(), ".m4a");
    EXPECT_EQ(b->audioStreamIndex(), -1);
    EXPECT_EQ(d.doc.itemAt(2)->trackEnd(), 24.0);
    for (qsizetype i = 0; i < 3; ++i)
        EXPECT_EQ(d.doc.itemAt(i)->outputQuality(), LXQuality::Low) << i;
    // New items start with it as well.
    d.doc.concludeDragFile({fixture("audio.mp3")});
    ASSERT_TRUE(testsupport::waitFor([&] { return !d.doc.isAdding(); }));
    ASSERT_EQ(d.doc.cellArray().size(), 4u);
    EXPECT_EQ(d.doc.itemAt(3)->outputQuality(), LXQuality::Low);
}

TEST(History, MissingFilesAreSkippedAndOldFilesWithoutNewKeysLoad) {
    resetStores();
    const QString dir = testsupport::freshDir("hist");
    const QString gone = dir + "/gone.mp4";
    QVariantList entries;
    entries << QVariantMap{{"currentFilePath", fixture("clip.mp4")},
                           {"currentDescKey", "Quicktime Movie"},
                           {"currentFormatKey", "mov"},
                           {"currentBaseTypeDescKey", "Apple Device"},
                           {"currentExtKey", ".mov"},
                           {"currentTrackStartKey", 2.0},
                           {"currentTrackEndKey", 6.5},
                           {"currentSubTitleIdxKey", -1},
                           {"currentAudioTrackIdxKey", 0}};
    entries << QVariantMap{{"currentFilePath", gone}};
    ASSERT_TRUE(PropertyList::writeFile(vcHistory::defaultFile(), entries));
    QStringList log;
    foundation::Log::setSink([&](const QString &l) { log << l; });
    Doc d;
    ASSERT_TRUE(d.rebuild());
    foundation::Log::setSink(nullptr);
    ASSERT_EQ(d.doc.cellArray().size(), 1u);
    EXPECT_EQ(d.doc.itemAt(0)->trackEnd(), 6.5);
    EXPECT_TRUE(log.contains("file not exist at path: " + gone));
    EXPECT_EQ(d.win.progressSheetsShown, 1);
    EXPECT_EQ(d.win.progressSheetsStopped, 1);
}

// A list as an earlier release wrote it, trims stored as the slider left them (seconds with
// all their decimals): it restores the same trims, to the microsecond, and saves them again
// under the same keys.
TEST(History, AStoredListFromAnEarlierReleaseKeepsItsTrims) {
    resetStores();
    QFile f(vcHistory::defaultFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QString entry = QStringLiteral(
        "<dict><key>currentFilePath</key><string>%1</string><key>currentExtKey</key><string>.mov</string>"
        "<key>currentFormatKey</key><string>mov</string><key>currentTrackStartKey</key><real>%2</real>"
        "<key>currentTrackEndKey</key><real>%3</real></dict>");
    f.write(QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>%1%2</array></plist>\n")
                .arg(entry.arg(fixture("clip.mp4"), "3.1415926535", "17.0000001"),
                     entry.arg(fixture("short.mp4"), "0", "4"))
                .toUtf8());
    f.close();
    {
        Doc d;
        ASSERT_TRUE(d.rebuild());
        ASSERT_EQ(d.doc.cellArray().size(), 2u);
        const auto a = d.doc.itemAt(0);
        EXPECT_EQ(a->keptRange(), (LXKeptRange{3'141'593, 17'000'000}));
        EXPECT_NEAR(a->trackStartPos(), 3.1415926535 / a->totalDuration(), 1e-7);
        EXPECT_EQ(d.doc.itemAt(1)->keptRange(), (LXKeptRange{0, 4'000'000}));
        ASSERT_TRUE(d.doc.saveHistoryFile());
    }
    const QVariantList saved = vcHistory().read();
    ASSERT_EQ(saved.size(), 2);
    EXPECT_NEAR(saved[0].toMap().value("currentTrackStartKey").toDouble(), 3.1415926535, 1e-6);
    EXPECT_NEAR(saved[0].toMap().value("currentTrackEndKey").toDouble(), 17.0, 1e-6);
    EXPECT_EQ(saved[1].toMap().value("currentTrackEndKey").toDouble(), 4.0);
}

TEST(History, HostileFilesLoadWhatTheyCanWithoutHanging) {
    const QString dir = testsupport::freshDir("hostile");
    const QString fifo = dir + "/pipe.mp4";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVariantList mixed;
    mixed << QString("not a dictionary") << 42 << QVariantMap{{"currentFilePath", fifo}}
          << QVariantMap{{"currentFilePath", "/dev/zero"}} << QVariantMap{{"currentFilePath", dir}}
          << QVariantMap{{"currentFilePath", QVariantList{1, 2}}}
          << QVariantMap{{"currentFilePath", fixture("short.mp4")},
                         {"currentTrackStartKey", QString("nan")},
                         {"currentTrackEndKey", 1e300},
                         {"currentSubTitleIdxKey", QString("x")}}
          // An extension no format of the catalogue writes: the entry is refused.
          << QVariantMap{{"currentFilePath", fixture("clip.mp4")}, {"currentExtKey", 7}};
    const QList<QByteArray> files = {
        "garbage that is not xml", PropertyList::serialize(QVariantMap{{"a", 1}}), // a dictionary where a list belongs
        PropertyList::serialize(mixed), QByteArray(70 * 1024 * 1024, ' '),         // larger than any history
    };
    for (const QByteArray &content : files) {
        resetStores();
        QFile f(vcHistory::defaultFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        QElapsedTimer t;
        t.start();
        Doc d;
        ASSERT_TRUE(d.rebuild());
        EXPECT_LT(t.elapsed(), 20000);
        if (content.startsWith("<?xml") && content.contains("short.mp4")) {
            ASSERT_EQ(d.doc.cellArray().size(), 1u);
            const auto item = d.doc.itemAt(0);
            EXPECT_EQ(item->trackStart(), 0.0);
            EXPECT_EQ(item->trackEnd(), item->totalDuration());
        } else {
            EXPECT_TRUE(d.doc.cellArray().empty());
        }
    }
    // A bookmark store that is not a property list is replaced, not fatal.
    QFile b(vcCommon::bookmarkFile());
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    b.write("\x01\x02junk");
    b.close();
    vcCommon::saveBookmark("/x/y.mp4");
    EXPECT_EQ(vcCommon::readBookmark(), QStringList{"/x/y.mp4"});
    resetStores();
}

TEST(Bookmarks, LowestFreeNumberEachPathOnceAndRemoval) {
    resetStores();
    ASSERT_TRUE(PropertyList::writeFile(
        vcCommon::bookmarkFile(),
        QVariantMap{{"bookmarkPath0", "/a"}, {"bookmarkPath2", "/c"}, {"bookmarkPath7", "/h"}}));
    vcCommon::saveBookmark("/b");
    vcCommon::saveBookmark("/b");
    vcCommon::saveBookmark("/a");
    const QVariantMap store = PropertyList::readFile(vcCommon::bookmarkFile())->toMap();
    EXPECT_EQ(store.value("bookmarkPath1").toString(), "/b");
    EXPECT_EQ(store.size(), 4);
    EXPECT_EQ(vcCommon::readBookmark(), QStringList({"/a", "/b", "/c", "/h"}));
    // A pair numbered above the number of keys is still found and removed.
    vcCommon::removeFilePathFromBookmark("/h");
    vcCommon::removeFilePathFromBookmark("/nothing");
    EXPECT_EQ(vcCommon::readBookmark(), QStringList({"/a", "/b", "/c"}));
    // The store lives beside the history, not in the working directory.
    EXPECT_EQ(QFileInfo(vcCommon::bookmarkFile()).absolutePath(), QFileInfo(vcHistory::defaultFile()).absolutePath());
    // Clearing the history empties both stores.
    ASSERT_TRUE(vcHistory().write(QVariantList{QVariantMap{{"currentFilePath", "/a"}}}));
    Doc d;
    d.doc.clearAllHistory();
    EXPECT_TRUE(vcCommon::readBookmark().isEmpty());
    EXPECT_TRUE(vcHistory().read().isEmpty());
}

TEST(History, MissingHistoryIsMadeFromTheTemplate) {
    resetStores();
    EXPECT_FALSE(QFile::exists(vcHistory::defaultFile()));
    EXPECT_TRUE(vcHistory().read().isEmpty());
    const auto content = PropertyList::readFile(vcHistory::defaultFile());
    ASSERT_TRUE(content);
    EXPECT_EQ(content->typeId(), QMetaType::QVariantList);
    EXPECT_TRUE(vcHistory::defaultFile().startsWith(QDir::home().filePath(".local/share/Cinvora")));
}

// A save killed at any moment leaves either the old file or the new one.
TEST(History, SaveKilledAtRandomMomentsNeverLeavesATornFile) {
    const QString dir = testsupport::freshDir("kill");
    const QString target = dir + "/FileList.plist";
    QRandomGenerator rng(12345);
    int checked = 0;
    for (int round = 0; round < 30; ++round) {
        QProcess p;
        p.start(testsupport::binary("history-save-loop"), {target});
        ASSERT_TRUE(p.waitForStarted());
        p.waitForReadyRead(5000); // it has written at least once
        QThread::usleep(rng.bounded(2000, 40000));
        ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
        p.waitForFinished();
        const auto v = PropertyList::readFile(target);
        ASSERT_TRUE(v.has_value()) << "torn file after round " << round;
        const QVariantList list = v->toList();
        ASSERT_FALSE(list.isEmpty());
        // Every version the writer makes is internally consistent: n entries all tagged n.
        const int n = list.first().toMap().value("generation").toInt();
        EXPECT_EQ(list.size(), n % 50 + 1);
        for (const QVariant &e : list)
            EXPECT_EQ(e.toMap().value("generation").toInt(), n);
        ++checked;
    }
    EXPECT_EQ(checked, 30);
}

TEST(History, IntakeAndRebuildKeepTheFilesBookmarkedOffTheMainThread) {
    resetStores();
    {
        Doc d;
        d.doc.concludeDragFile({fixture("short.mp4"), fixture("audio.mp3")});
        ASSERT_TRUE(testsupport::waitFor([&] { return !d.doc.isAdding(); }));
        EXPECT_EQ(vcCommon::readBookmark(), QStringList({fixture("short.mp4"), fixture("audio.mp3")}));
        // A row added on the main thread by itself writes nothing.
        d.doc.addMovie(d.doc.initEditMovieWithPath(fixture("mpeg4.avi")));
        EXPECT_FALSE(vcCommon::readBookmark().contains(fixture("mpeg4.avi")));
        d.doc.saveHistoryFile();
    }
    // The rebuild brings every restored file back into an emptied store.
    QFile::remove(vcCommon::bookmarkFile());
    Doc again;
    ASSERT_TRUE(again.rebuild());
    ASSERT_EQ(again.doc.cellArray().size(), 3u);
    EXPECT_EQ(vcCommon::readBookmark(),
              QStringList({fixture("short.mp4"), fixture("audio.mp3"), fixture("mpeg4.avi")}));
}

// The list's name may be a link; saving must never turn what it points to into a file.
// A FIFO and a character device (made here, with the numbers of the null device) stand
// for what a careless save would destroy.
TEST(History, SaveRefusesToReplaceANodeThatIsNotARegularFile) {
    resetStores();
    const QString dir = testsupport::freshDir("listlink");
    const QString fifo = dir + "/pipe";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QStringList targets{fifo, dir};
    const QString device = dir + "/null-like";
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        targets << device;
    else
        std::fprintf(stderr, "cannot make a device node here; the FIFO stands alone\n");
    const QString list = vcHistory::defaultFile();
    for (const QString &target : targets) {
        SCOPED_TRACE(target.toStdString());
        struct stat before {};
        ASSERT_EQ(::lstat(QFile::encodeName(target).constData(), &before), 0);
        for (bool throughLink : {true, false}) {
            if (!throughLink && target != fifo)
                continue; // the list's own name being a FIFO is enough of that kind
            QFile::remove(list);
            if (throughLink)
                ASSERT_TRUE(QFile::link(target, list));
            else
                ASSERT_EQ(::mkfifo(QFile::encodeName(list).constData(), 0600), 0);
            QStringList log;
            foundation::Log::setSink([&](const QString &l) { log << l; });
            Doc d;
            d.doc.addMovie(d.doc.initEditMovieWithPath(fixture("short.mp4")));
            EXPECT_FALSE(d.doc.saveHistoryFile());
            foundation::Log::setSink(nullptr);
            EXPECT_TRUE(log.contains("SaveHistoryFile Failed")) << log.join('\n').toStdString();
            EXPECT_EQ(d.doc.cellArray().size(), 1u) << "the list stays in memory";
            struct stat after {};
            ASSERT_EQ(::lstat(QFile::encodeName(target).constData(), &after), 0);
            EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
            EXPECT_EQ(after.st_ino, before.st_ino);
            ASSERT_EQ(::lstat(QFile::encodeName(list).constData(), &after), 0);
            EXPECT_EQ(after.st_mode & S_IFMT, throughLink ? S_IFLNK : S_IFIFO);
        }
    }
    // A link to a regular file is followed as before: the file gets the list.
    QFile::remove(list);
    const QString regular = dir + "/elsewhere.plist";
    ASSERT_TRUE(PropertyList::writeFile(regular, QVariantList{}));
    ASSERT_TRUE(QFile::link(regular, list));
    {
        Doc d;
        d.doc.addMovie(d.doc.initEditMovieWithPath(fixture("short.mp4")));
        EXPECT_TRUE(d.doc.saveHistoryFile());
    }
    EXPECT_EQ(PropertyList::readFile(regular)->toList().size(), 1);
    EXPECT_TRUE(QFileInfo(list).isSymLink());
    resetStores();
}

// Numbers that do not fit are refused rather than cut down to something else, and a list
// that cannot be read is kept aside (one copy) before a new one takes its name.
TEST(History, OutOfRangeNumbersAreRefusedAndAnUnreadableListIsKeptAside) {
    resetStores();
    const QString backup = vcHistory::defaultFile() + ".unreadable";
    QFile::remove(backup);
    QVariantList entries;
    entries << QVariantMap{{"currentFilePath", fixture("multi.mkv")},
                           {"currentSubTitleIdxKey", qlonglong(99999999999)},
                           {"currentAudioTrackIdxKey", qlonglong(-99999999999)}};
    ASSERT_TRUE(PropertyList::writeFile(vcHistory::defaultFile(), entries));
    {
        Doc d;
        ASSERT_TRUE(d.rebuild());
        ASSERT_EQ(d.doc.cellArray().size(), 1u);
        const auto fresh = d.doc.initEditMovieWithPath(fixture("multi.mkv"));
        EXPECT_EQ(d.doc.itemAt(0)->subTitleIndex(), fresh->subTitleIndex());
        EXPECT_EQ(d.doc.itemAt(0)->audioStreamIndex(), fresh->audioStreamIndex());
    }
    for (const QByteArray &broken : {QByteArray("<plist><array><dict><key>x"), QByteArray("second broken list")}) {
        QFile f(vcHistory::defaultFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(broken);
        f.close();
        Doc d;
        ASSERT_TRUE(d.rebuild());
        d.doc.addMovie(d.doc.initEditMovieWithPath(fixture("short.mp4")));
        EXPECT_TRUE(d.doc.saveHistoryFile());
        QFile kept(backup);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), broken) << "the last unreadable list is the one kept";
        EXPECT_EQ(vcHistory().read().size(), 1);
    }
    EXPECT_EQ(QDir(QFileInfo(backup).absolutePath()).entryList({"FileList.plist*"}, QDir::Files).size(), 2);
    QFile::remove(backup);
    resetStores();
}

// A restored row passes the checks a file added by hand passes: a name the list kept may
// since have become an empty file, or something that is not media at all. Such rows would
// play nothing, and a file whose reads never end would hold the player at close.
TEST(History, RestoredRowsPassTheChecksOfFilesAddedByHand) {
    resetStores();
    const QString dir = testsupport::freshDir("restorechecks");
    const QString empty = dir + "/empty.mp4", noise = dir + "/noise.mp4";
    QFile(empty).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::copy(fixture("random.mp4"), noise));
    QVariantList entries;
    for (const QString &p : {empty, noise, fixture("short.mp4"), fixture("text.mkv")})
        entries << QVariantMap{{"currentFilePath", p}};
    ASSERT_TRUE(PropertyList::writeFile(vcHistory::defaultFile(), entries));
    QStringList log;
    foundation::Log::setSink([&](const QString &l) { log << l; });
    Doc d;
    ASSERT_TRUE(d.rebuild());
    foundation::Log::setSink(nullptr);
    ASSERT_EQ(d.doc.cellArray().size(), 1u);
    EXPECT_EQ(d.doc.itemAt(0)->fileName(), fixture("short.mp4"));
    for (const QString &p : {empty, noise, fixture("text.mkv")})
        EXPECT_TRUE(log.filter(p).size() == 1) << p.toStdString() << "\n" << log.join('\n').toStdString();
    resetStores();
}

// A saved row whose file shows the size and time it had is given back from what its probe
// found (here a length no probe of the clip gives, to tell the two apart); a file touched
// since is probed again, and one that has become noise is refused as before.
TEST(History, StoredProbesServeUnchangedFilesOnly) {
    resetStores();
    const QString dir = testsupport::freshDir("storedprobe");
    const QString same = dir + "/same.mp4", noise = dir + "/noise.mp4", touched = dir + "/touched.mp4";
    for (const QString &p : {same, noise, touched})
        ASSERT_TRUE(QFile::copy(fixture("short.mp4"), p));
    double realLength = 0;
    {
        Doc d;
        d.doc.concludeDragFile({same, noise, touched});
        ASSERT_TRUE(testsupport::waitFor([&] { return !d.doc.isAdding(); }));
        ASSERT_EQ(d.doc.cellArray().size(), 3u);
        realLength = d.doc.itemAt(0)->totalDuration();
    }
    QVariantList entries = vcHistory().read();
    ASSERT_EQ(entries.size(), 3);
    for (QVariant &v : entries) {
        QVariantMap e = v.toMap();
        QVariantMap probe = e.value("sourceProbeKey").toMap();
        ASSERT_FALSE(probe.isEmpty());
        probe.insert("duration", qlonglong(99'000'000));
        e.insert("sourceProbeKey", probe);
        v = e;
    }
    ASSERT_TRUE(PropertyList::writeFile(vcHistory::defaultFile(), entries));
    QFile::remove(noise);
    ASSERT_TRUE(QFile::copy(fixture("random.mp4"), noise));
    {
        QFile f(touched);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }
    QStringList log;
    foundation::Log::setSink([&](const QString &l) { log << l; });
    Doc d;
    ASSERT_TRUE(d.rebuild());
    foundation::Log::setSink(nullptr);
    ASSERT_EQ(d.doc.cellArray().size(), 2u);
    EXPECT_EQ(d.doc.itemAt(0)->fileName(), same);
    EXPECT_EQ(d.doc.itemAt(0)->totalDuration(), 99.0);
    EXPECT_EQ(d.doc.itemAt(1)->fileName(), touched);
    EXPECT_EQ(d.doc.itemAt(1)->totalDuration(), realLength);
    EXPECT_EQ(log.filter("Refused restoring " + noise).size(), 1) << log.join('\n').toStdString();
    // The probes were saved: the touched file's entry now holds what it holds now.
    const QVariantList after = vcHistory().read();
    ASSERT_EQ(after.size(), 2);
    EXPECT_EQ(after[1].toMap().value("sourceProbeKey").toMap().value("duration").toLongLong() / 1'000'000,
              qlonglong(realLength));
    resetStores();
}

// The list's name linked to a file that is not a list (someone's notes): the file keeps
// its content, whether the link was there at start or made while the program ran.
TEST(History, ALinkToAFileThatIsNotAListIsSetAsideNeverWrittenThrough) {
    resetStores();
    const QString list = vcHistory::defaultFile(), aside = list + ".unreadable";
    const QString notes = testsupport::freshDir("notes") + "/notes.txt";
    const QByteArray content("my notes, not a list\n");
    auto notesContent = [&] {
        QFile f(notes);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    for (bool atStart : {true, false}) {
        SCOPED_TRACE(atStart ? "at start" : "while running");
        QFile::remove(aside);
        QFile f(notes);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size());
        f.close();
        QFile::remove(list);
        if (atStart) {
            ASSERT_TRUE(QFile::link(notes, list));
        }
        Doc d;
        ASSERT_TRUE(d.rebuild());
        if (!atStart) {
            ASSERT_TRUE(QFile::remove(list) && QFile::link(notes, list));
        }
        d.doc.addMovie(d.doc.initEditMovieWithPath(fixture("short.mp4")));
        // At start the link goes aside as an unreadable list goes, and the list takes the
        // name again; made later, the save refuses and the list stays in memory.
        EXPECT_EQ(d.doc.saveHistoryFile(), atStart);
        EXPECT_EQ(notesContent(), content);
        EXPECT_EQ(QFileInfo(aside).symLinkTarget(), atStart ? notes : QString());
        EXPECT_EQ(QFileInfo(list).isSymLink(), !atStart);
    }
    QFile::remove(list);
    QFile::remove(aside);
}

// A list naming one file a hundred thousand times restores it once, as a file dropped
// twice is added once, and does so without probing it each time.
TEST(History, RepeatedPathsRestoreOneRowQuickly) {
    resetStores();
    QVariantList entries;
    const QVariantMap once{{"currentFilePath", fixture("short.mp4")}};
    for (int i = 0; i < 100000; ++i)
        entries << once;
    entries << QVariantMap{{"currentFilePath", fixture("audio.mp3")}} << once;
    ASSERT_TRUE(PropertyList::writeFile(vcHistory::defaultFile(), entries));
    QElapsedTimer took;
    took.start();
    Doc d;
    d.doc.loadHistoryAtLuanch();
    ASSERT_TRUE(testsupport::waitFor([&] { return !d.doc.isAdding(); }, 30000)) << "still restoring after 30 s";
    EXPECT_LT(took.elapsed(), 15000);
    ASSERT_EQ(d.doc.cellArray().size(), 2u);
    EXPECT_EQ(d.doc.itemAt(1)->fileName(), fixture("audio.mp3"));
    resetStores();
}

// An extension or container that no format of the catalogue writes is refused as an
// unreadable entry is; the entries around it load.
TEST(History, StoredFormatsTheCatalogueDoesNotKnowAreRefused) {
    resetStores();
    const QString dir = testsupport::freshDir("hostile-formats");
    QVariantList entries;
    for (const auto &[ext, format] : QList<std::pair<QString, QString>>{
             {".mkv", "../../../x"}, {"/../../../escaped-by-ext.mp3", "mp3"}, {"..", "mov"}, {".exe", "mov"}}) {
        const QString source = QStringLiteral("%1/h%2.mp4").arg(dir).arg(entries.size());
        ASSERT_TRUE(QFile::link(fixture("short.mp4"), source));
        entries << QVariantMap{{"currentFilePath", source}, {"currentExtKey", ext}, {"currentFormatKey", format}};
    }
    entries << QVariantMap{
        {"currentFilePath", fixture("mpeg4.avi")}, {"currentExtKey", ".mkv"}, {"currentFormatKey", "matroska"}};
    // An audio row's container comes from its extension: only that is looked at.
    entries << QVariantMap{
        {"currentFilePath", fixture("audio.mp3")}, {"currentExtKey", ".m4a"}, {"currentFormatKey", "m4a"}};
    ASSERT_TRUE(PropertyList::writeFile(vcHistory::defaultFile(), entries));
    Doc d;
    ASSERT_TRUE(d.rebuild());
    ASSERT_EQ(d.doc.cellArray().size(), 2u);
    EXPECT_EQ(d.doc.itemAt(0)->outputExt(), ".mkv");
    EXPECT_EQ(d.doc.itemAt(1)->outputExt(), ".m4a");
    resetStores();
}
