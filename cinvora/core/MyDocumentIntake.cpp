// Intake of files into the list, and the history that rebuilds the list at start.
#include "FormatRules.h"
#include "MyDocument.h"
#include "vcCommon.h"
#include "vcHistory.h"

#include <foundation/Files.h>
#include <foundation/AlertRequest.h>
#include <foundation/Log.h>
#include <foundation/MainThread.h>
#include <foundation/Strings.h>
#include <framewheel/SWConvertSession.h>
#include <framewheel/SWMediaInfoManager.h>

#include <reelwright/LXMediaCommon.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <cmath>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using foundation::Log;
using foundation::MainThread;

namespace {
// Counts a running intake or rebuild for as long as it lives.
struct AddingScope {
    std::atomic<int> &count;
    explicit AddingScope(std::atomic<int> &c) : count(c) { ++count; }
    ~AddingScope() { --count; }
};

// A batch of rows goes to the window when it is this large or this old.
constexpr size_t kRowsPerBatch = 200;
constexpr qint64 kBatchMs = 100;
} // namespace

const QStringList &MyDocument::acceptedExtensions() {
    static const QStringList exts = {"ac3", "adx", "aiff", "au",  "caf", "flac", "mp3", "voc", "wav",
                                     "m4r", "mov", "mp4",  "m4v", "mkv", "wmv",  "asf", "avi", "rmvb",
                                     "rm",  "mpg", "mpeg", "dat", "ts",  "dv",   "f4v", "flv"};
    return exts;
}

const QStringList &MyDocument::invalidExts() {
    static const QStringList exts = {".acm", ".mp2", ".jpg", ".jpeg", ".png", ".pdf", ".bmp", ".gif",
                                     ".rtf", ".txt", ".xml", ".html", "xls",  "xlsx", ".doc", ".vob"};
    return exts;
}

bool MyDocument::isVideoFile(const LXMediaInfo &item) const {
    // Only the file's own extension decides: a film called my.documentary.mp4, or a file
    // in a folder named xls_exports, is a film.
    const QString ext = QFileInfo(item.fileName()).suffix().toLower();
    for (QString refused : invalidExts()) {
        if (refused.startsWith('.'))
            refused.remove(0, 1);
        if (ext == refused)
            return false;
    }
    return true;
}

bool MyDocument::isForbbidenFile(const QString &path) {
    const QString ext = QFileInfo(path).suffix();
    return ext == u"vob" || ext == u"VOB";
}

void MyDocument::refreshIndexAndCount() {
    const uint64_t n = _cellArray.size();
    for (uint64_t i = 0; i < n; ++i) {
        const LXMediaInfoPtr item = _cellArray[i]->editMovie();
        item->setEditMovieIndex(i);
        item->setEditMovieCount(n);
    }
}

LXMediaInfoPtr MyDocument::initEditMovieWithPath(const QString &path) {
    // The row's picture is made when the row is shown (wantPicture): decoding one for each
    // of 10,000 files took three times the probe and kept 60 KB per row.
    return itemWithProbe(path, SWMediaInfoManager::initWithFile(path, false));
}

LXMediaInfoPtr MyDocument::itemWithProbe(const QString &path, const std::shared_ptr<SWMediaInfoManager> &probe) {
    LXMediaInfoPtr item = LXMediaInfo::initMediaInfoWithProbe(path, probe);
    if (_makesPictures.load())
        item->setThumbNailImage(QImage());
    loadResolutionAVCodecs(*item);
    return item;
}

void MyDocument::addMovie(const LXMediaInfoPtr &item) { addMovies({item}); }

void MyDocument::addMovies(const std::vector<LXMediaInfoPtr> &items) {
    if (items.empty())
        return;
    for (const LXMediaInfoPtr &item : items) {
        vcTableCellViewPtr row = vcTableCellView::create(item);
        row->setTbCellDelegate(this);
        row->setIdx(numberOfRows());
        _cellArray.push_back(row);
        _window->rowAdded(row);
    }
    // Once per batch: every item carries the list's length.
    refreshIndexAndCount();
    _window->reloadTable();
    _window->updateEmptyListTip(false);
    if (_currentIndex == -1) {
        selectItemAtIndex(0);
        _window->scrollToRow(0);
        _window->focusPlayer();
    }
    _window->setConvertAllEnabled(true);
}

QSet<QString> MyDocument::listedPaths() const {
    QSet<QString> listed;
    listed.reserve(qsizetype(_cellArray.size()));
    for (const vcTableCellViewPtr &row : _cellArray)
        listed.insert(row->editMovie()->fileName());
    return listed;
}

QStringList MyDocument::addPendingRows(std::vector<PendingRow> &pending) {
    // The same file offered twice (two drops at once, or a restore beside a drop) is added once.
    QSet<QString> listed = listedPaths();
    std::vector<LXMediaInfoPtr> fresh;
    QStringList repeats;
    for (const PendingRow &p : pending) {
        const QString path = p.item->fileName();
        if (listed.contains(path)) {
            repeats << path;
            continue;
        }
        listed.insert(path);
        fresh.push_back(p.item);
    }
    const size_t before = _cellArray.size();
    addMovies(fresh);
    for (const PendingRow &p : pending) {
        if (p.convertedOutput.isEmpty() && p.interruptedOutput.isEmpty())
            continue;
        // What an interrupted conversion left is read here, on the main thread, only for
        // the rows that were converting: a journal of a few lines each.
        const double kept =
            p.interruptedOutput.isEmpty() ? 0 : SWConvertSession::keptPercent(p.item->fileName(), p.interruptedOutput);
        for (size_t i = before; i < _cellArray.size(); ++i) {
            if (_cellArray[i]->editMovie() != p.item)
                continue;
            if (!p.convertedOutput.isEmpty())
                _cellArray[i]->restoreFinished(p.convertedOutput, p.convertedDigest);
            else if (kept > 0)
                _cellArray[i]->restoreInterrupted(p.interruptedOutput, kept);
        }
    }
    pending.clear();
    return repeats;
}

// ---- Pictures of shown rows ----

namespace {
// Pictures kept at once: a screenful many times over; a row scrolled back to after its
// picture went makes it again.
constexpr size_t kPicturesKept = 300;
// Asks beyond this are for rows scrolled past long ago: the oldest are dropped.
constexpr size_t kPictureAsksQueued = 64;
} // namespace

void MyDocument::wantPicture(const vcTableCellViewPtr &row) {
    if (!row || !_makesPictures.load() || _shutDown)
        return;
    const LXMediaInfoPtr item = row->editMovie();
    if (!item || _pictureAsked.contains(item.get()) || !item->thumbNailImage().isNull())
        return;
    _pictureAsked.insert(item.get());
    std::lock_guard l(_pictureLock);
    _pictureAsks.push_back(row);
    while (_pictureAsks.size() > kPictureAsksQueued) {
        if (const vcTableCellViewPtr old = _pictureAsks.front().lock(); old && old->editMovie())
            _pictureAsked.remove(old->editMovie().get());
        _pictureAsks.pop_front();
    }
    if (!_pictureWorking)
        _pictureWorking = _workers.spawn([this] { makePictures(); });
}

void MyDocument::makePictures() {
    for (;;) {
        std::weak_ptr<vcTableCellView> asked;
        {
            std::lock_guard l(_pictureLock);
            if (_pictureAsks.empty() || _bShutDownPictures.load()) {
                _pictureWorking = false;
                return;
            }
            asked = _pictureAsks.front();
            _pictureAsks.pop_front();
        }
        LXMediaInfoPtr item;
        if (const vcTableCellViewPtr row = asked.lock())
            item = row->editMovie();
        if (!item)
            continue;
        QImage picture = SWMediaInfoManager::initWithFile(item->fileName(), true)->thumbnailImage();
        MainThread::post([this, asked, item, picture] {
            _pictureAsked.remove(item.get());
            const vcTableCellViewPtr row = asked.lock();
            if (!row || row->editMovie() != item)
                return;
            item->setThumbNailImage(picture.isNull() ? LXMediaCommon::defaultMovieImage() : picture);
            _pictured.push_back(item);
            while (_pictured.size() > kPicturesKept) {
                if (const LXMediaInfoPtr old = _pictured.front().lock(); old && old != currentEditMovie())
                    old->setThumbNailImage(QImage());
                _pictured.pop_front();
            }
            _window->refreshRow(row);
        });
    }
}

void MyDocument::addFileToList() {
    _bCancelAddFile.store(false);
    _window->chooseFiles(acceptedExtensions(), [this](const QStringList &paths) {
        if (!paths.isEmpty())
            concludeDragFile(paths);
    });
}

void MyDocument::concludeDragFile(const QStringList &paths) {
    _bCancelAddFile.store(false);
    ++_addingCount; // counted from now, so a caller never sees a gap before the thread runs
    if (!_workers.spawn([this, paths] {
            addImportFiles(paths);
            --_addingCount;
        }))
        --_addingCount;
}

void MyDocument::updateProgressOnMain(double percent) {
    // Posted, not waited for, and only a visible step: the bar has a few hundred pixels.
    static thread_local double last = -1.0;
    if (percent < 100.0 && std::abs(percent - last) < 0.5)
        return;
    last = percent;
    MainThread::post([this, percent] { _window->updateAddProgress(percent); });
}

QString MyDocument::refusalBeforeProbe(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("it does not exist");
    if (info.isDir())
        return QStringLiteral("it is a folder (folders are not searched)");
    if (!info.isFile())
        return QStringLiteral("it is not a regular file");
    if (!info.isReadable())
        return QStringLiteral("it cannot be read (no permission)");
    if (info.size() == 0)
        return QStringLiteral("the file is empty");
    return {};
}

QString MyDocument::unreadableReason(const LXMediaInfo &item) {
    const auto probe = item.mediaInfoManager();
    if (!probe)
        return QStringLiteral("it is not a readable video or audio file");
    if (!probe->isValid())
        return QStringLiteral("it is not a readable video or audio file (%1)").arg(probe->error());
    // Some files that are not media at all (kernel notes, small binary files) open as a
    // sound stream with no rate and no length: a 00:00 row that could only fail.
    if (!probe->hasVideo()) {
        bool sound = false;
        for (const SWStreamDetail &a : probe->audioStreams())
            sound = sound || (a.sampleRate > 0 && a.channels > 0);
        if (!sound)
            return QCoreApplication::translate("MyDocument",
                                               "it is not a media file: it holds no picture or sound that can be read");
    }
    if (probe->duration() <= 0)
        return QCoreApplication::translate("MyDocument", "there is nothing to convert: it has no length");
    return {};
}

LXMediaInfoPtr MyDocument::itemForOffer(const QString &path, const std::shared_ptr<SWMediaInfoManager> &probe,
                                        QString *why) {
    auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return nullptr;
    };
    if (isForbbidenFile(path))
        return refuse(QCoreApplication::translate("MyDocument", "refused by rule: DVD files"));
    // Refused names are decided by the name alone, whatever the file holds.
    LXMediaInfo byName;
    byName.setFileName(path);
    if (!isVideoFile(byName))
        return refuse(QCoreApplication::translate("MyDocument", "files of this kind are not converted"));
    const LXMediaInfoPtr item = itemWithProbe(path, probe);
    // A file whose container opens but whose streams the probe cannot read would be a
    // 00:00 row that plays nothing and fails on convert.
    if (const QString why = unreadableReason(*item); !why.isEmpty())
        return refuse(why);
    if (!isVideoFile(*item))
        return refuse(QCoreApplication::translate("MyDocument", "files of this kind are not converted"));
    return item;
}

void MyDocument::reportSkippedFiles(const QStringList &skipped) {
    if (skipped.isEmpty())
        return;
    const QString title =
        QCoreApplication::translate("MyDocument", "%n file(s) were not added", nullptr, int(skipped.size()));
    foundation::AlertRequest note{title, skipped.join('\n'), vcCommon::okStr(), {}, {}, {}};
    _window->askQuestion(note, [](foundation::AlertButton) {});
}

void MyDocument::addImportFiles(QStringList paths) {
    bool wasEmpty = false;
    // What the list held when the offers came: a repeat is known without the main thread.
    QSet<QString> listed;
    MainThread::run([&] {
        wasEmpty = _cellArray.empty();
        listed = listedPaths();
        _window->showAddProgress(true);
    });
    // What was not added, "name: why", for the one message at the end.
    QStringList skipped;
    QHash<QString, QString> reasons;
    auto skip = [&skipped, &reasons](const QString &path, const QString &why) {
        const QFileInfo info(path);
        const QString name = info.fileName().isEmpty() ? path : info.fileName();
        skipped << QStringLiteral("%1: %2").arg(name, why);
        reasons.insert(path, why);
    };
    // Rows go to the window in batches, each in one call: one per file made the main thread
    // renumber and redraw the list 10,000 times.
    std::vector<PendingRow> pending;
    QStringList added;
    QElapsedTimer sinceFlush;
    sinceFlush.start();
    auto flush = [&] {
        QStringList repeats;
        MainThread::run([&] { repeats = addPendingRows(pending); });
        for (const QString &path : repeats) {
            skip(path, QStringLiteral("it is already in the list"));
            added.removeOne(path);
        }
        sinceFlush.restart();
    };
    const qsizetype n = paths.size();
    for (qsizetype i = 0; i < n && !_bCancelAddFile.load(); ++i) {
        // A dropped or chosen name that is not UTF-8 arrives decoded and opens only through
        // its alias, which the row then carries.
        QString ambiguous;
        const QString openable = foundation::Files::openablePath(paths[i], &ambiguous);
        if (!ambiguous.isEmpty()) {
            skip(paths[i], ambiguous);
            continue;
        }
        const QString &path = openable.isEmpty() ? paths[i] : openable;
        if (const QString why = refusalBeforeProbe(path); !why.isEmpty()) {
            skip(path, why);
            continue;
        }
        if (listed.contains(path)) {
            skip(path, QStringLiteral("it is already in the list"));
            continue;
        }
        // One probe decides whether the file can be read at all and what it holds: a
        // separate look at its headers first cost a third of the intake's time.
        const auto probe = SWMediaInfoManager::initWithFile(path, false);
        if (!probe->isValid()) {
            skip(path, QStringLiteral("it is not a readable video or audio file (%1)").arg(probe->error()));
            continue;
        }
        QString why;
        if (const LXMediaInfoPtr item = itemForOffer(path, probe, &why)) {
            listed.insert(path);
            added << path;
            pending.push_back({item, {}, {}, {}});
            if (pending.size() >= kRowsPerBatch || sinceFlush.elapsed() >= kBatchMs)
                flush();
            updateProgressOnMain(double(i + 1) / double(n) * 100.0);
        } else {
            skip(path, why);
        }
    }
    flush();
    if (_usesHistory)
        vcCommon::saveBookmarks(added);
    MainThread::run([&] {
        _lastSkippedReasons = reasons;
        saveHistoryFile();
        _window->updateEmptyListTip(_cellArray.empty());
        if (wasEmpty && !_cellArray.empty()) {
            selectItemAtIndex(0);
            _window->scrollToRow(0);
        }
        _window->focusPlayer();
        _window->stopAddProgress();
        // After the progress sheet has gone: the message takes its place on the window.
        reportSkippedFiles(skipped);
    });
}

// ---- History ----

bool MyDocument::saveHistoryFile() {
    // Whatever changed the list may have changed what its rows would convert.
    wantEstimates();
    if (!_usesHistory)
        return true;
    QVariantList entries;
    for (const vcTableCellViewPtr &row : _cellArray) {
        const vcHistoryEntry e = vcHistory::entryOf(*row->editMovie(), row.get());
        if (!e.subtitleFile.isEmpty() && QFileInfo::exists(e.subtitleFile))
            vcCommon::saveBookmark(e.subtitleFile);
        entries << vcHistory::toStored(e);
    }
    // A list still being restored keeps the entries not restored yet, as they were.
    if (_restoring.load())
        for (qsizetype i = _restoreDone; i < _restoreEntries.size(); ++i)
            entries << _restoreEntries[i];
    if (!vcHistory().write(entries)) {
        Log::line(QStringLiteral("SaveHistoryFile Failed"));
        return false;
    }
    return true;
}

void MyDocument::loadHistoryAtLuanch() {
    _cellArray.clear();
    vcCommon::readBookmark();
    QVariantList entries = vcHistory().read();
    if (entries.isEmpty()) {
        _window->focusPlayer();
        return;
    }
    _window->showAddProgress(false);
    ++_addingCount;
    _restoring.store(true);
    _restoreEntries = entries;
    _restoreDone = 0;
    if (!_workers.spawn([this, entries] {
            loadHistoryFiles(entries);
            _restoring.store(false);
            --_addingCount;
        })) {
        _restoring.store(false);
        --_addingCount;
    }
}

LXMediaInfoPtr MyDocument::restoredItem(const vcHistoryEntry &entry, bool &probed) {
    const QByteArray name = QFile::encodeName(entry.path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        Log::line(QStringLiteral("file not exist at path: %1").arg(entry.path));
        return nullptr;
    }
    // A file that shows the size and time it had when it was probed is given back from
    // what that probe found; any other is read again.
    std::shared_ptr<SWMediaInfoManager> stored;
    const int64_t mtime = int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    if (entry.probeMatches(st.st_size, mtime) && ::access(name.constData(), R_OK) == 0)
        stored = SWMediaInfoManager::fromStoredFields(entry.path, entry.probe);
    LXMediaInfoPtr item;
    QString why;
    if (stored) {
        item = itemWithProbe(entry.path, stored);
    } else {
        // The same checks as a file added by hand: the name may have become an empty
        // file, or something that is not media, since the list was saved. The probe's
        // open is bounded in time, so a file whose reads never end is refused here and
        // never reaches the player.
        probed = true;
        why = refusalBeforeProbe(entry.path);
        if (why.isEmpty() && !SWMediaInfoManager::canOpenFile(entry.path))
            why = QStringLiteral("it is not a readable video or audio file");
        if (why.isEmpty())
            item = initEditMovieWithPath(entry.path);
    }
    if (why.isEmpty())
        why = unreadableReason(*item);
    if (why.isEmpty())
        why = vcHistory::restore(entry, *item, [this](LXMediaInfo &i) { loadResolutionAVCodecs(i); });
    if (!why.isEmpty()) {
        Log::line(QStringLiteral("Refused restoring %1: %2").arg(entry.path, why));
        return nullptr;
    }
    return item;
}

void MyDocument::loadHistoryFiles(QVariantList entries) {
    const qsizetype n = entries.size();
    // The duplicate rule of added files: one row per path. Checked before anything is read
    // from the disk, so a list naming one file a hundred thousand times restores at once.
    QSet<QString> seen;
    std::vector<PendingRow> pending;
    QStringList restored;
    bool probed = false, cancelled = false;
    qsizetype stoppedAt = n;
    QElapsedTimer sinceFlush;
    sinceFlush.start();
    // The entries before `next` are in the list (or were let go): a save from now on keeps
    // the others as they were.
    auto flush = [&](qsizetype next) {
        MainThread::run([&] {
            addPendingRows(pending);
            _restoreDone = next;
        });
        sinceFlush.restart();
    };
    for (qsizetype i = 0; i < n; ++i) {
        if (_bCancelAddFile.load()) {
            Log::line(QStringLiteral("cancel add file..."));
            cancelled = true;
            stoppedAt = i;
            break;
        }
        if (!pending.empty() && (pending.size() >= kRowsPerBatch || sinceFlush.elapsed() >= kBatchMs))
            flush(i);
        // Entries that are no row's (not a dictionary, naming no file) are passed over: the
        // list keeps what can be read.
        QString why;
        const std::optional<vcHistoryEntry> e = vcHistory::fromStored(entries[i], &why);
        if (!e) {
            Log::line(QStringLiteral("Passed over saved entry %1: %2").arg(i).arg(why));
            continue;
        }
        if (seen.contains(e->path))
            continue;
        seen.insert(e->path);
        if (const LXMediaInfoPtr item = restoredItem(*e, probed)) {
            pending.push_back({item, e->convertedOutput, e->convertedDigest, e->interruptedOutput});
            restored << e->path;
            updateProgressOnMain(double(i + 1) / double(n) * 100.0);
        }
    }
    flush(stoppedAt);
    if (_usesHistory)
        vcCommon::saveBookmarks(restored);
    MainThread::run([&] {
        // A quit keeps what was not restored yet (the save above it includes it); a Cancel
        // lets it go, as the list shows. A list that needed probes is saved with what they
        // found, so that the next start needs none.
        if (!_shutDown && cancelled)
            _restoreDone = _restoreEntries.size();
        if (probed || cancelled)
            saveHistoryFile();
        _restoreEntries.clear();
        _restoreDone = 0;
        _window->updateEmptyListTip(_cellArray.empty());
        _window->stopAddProgress();
    });
}

bool MyDocument::canClearAllHistory() {
    if (currentSessionCount() == 0)
        return true;
    foundation::AlertRequest q{
        foundation::tr_("InCONVERTING"), foundation::tr_("UNREMOVEALL"), vcCommon::okStr(), {}, {}, {}};
    _window->askQuestion(q, [](foundation::AlertButton) {});
    return false;
}

void MyDocument::clearAllHistory() {
    vcCommon::removeAllFilePathFromBookmark();
    // The emptied list is saved as every removal is.
    deleteAllFromList();
}

// ---- Format lists ----

void MyDocument::loadResolutionAVCodecs(LXMediaInfo &item) {
    loadResolutionAVCodecsWithKeyIsDefault(item, FormatRules::formatKeyOf(item), true);
}

void MyDocument::applyFormat(LXMediaInfo &item, const FormatRecord &record,
                             const FormatRules::FormatChoices &parameters, bool keepChoices) {
    if (!keepChoices) {
        loadResolutionAVCodecsWithKeyIsDefault(item, record.key, true);
        item.update([](LXMediaFields &f) {
            f.width = f.orgWidth;
            f.height = f.orgHeight;
        });
        FormatRules::applyParameters(item, parameters);
    }
    FormatRules::applyFormatRecord(item, record);
    item.setChosenKeyPath(record.key.keyPath());
}

void MyDocument::loadResolutionAVCodecsWithKeyIsDefault(LXMediaInfo &item, const FormatKey &key, bool isDefault) {
    if (!isDefault)
        return;
    FormatRules::loadDefaults(item, FormatCatalogue::shared().find(key));
    std::lock_guard l(_keyLock);
    _lastKey = key;
}
