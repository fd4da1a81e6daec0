#pragma once
// The document: the list of jobs, each holding its media item, the conversion gate that bounds
// how many convert at once, the batch operations, the guards, intake and history.
//
// Threads: every operation runs on the main thread except the scheduler's events (any
// thread) and the intake and history loops (their own threads). The document cancels and
// joins every thread it started before it goes away.
#include "DocumentWindow.h"
#include "FormatRules.h"
#include "vcEstimates.h"
#include "vcTableCellView.h"

#include <foundation/WorkerGroup.h>

#include <QHash>
#include <QObject>
#include <QVariantMap>
#include <QSet>
#include <QVariantList>
#include <atomic>
#include <deque>
#include <mutex>
#include <unordered_set>
#include <vector>

struct vcHistoryEntry;

class MyDocument : public vcTableCellViewDelegate {
public:
    MyDocument();
    ~MyDocument() override;
    // Cancels every conversion, intake and rebuild and joins their threads. Idempotent;
    // the owner calls it before tearing down the window, the destructor calls it too.
    void shutdown();
    bool isShutDown() const { return _shutDown; }

    void setWindow(DocumentWindow *window) { _window = window ? window : &_noWindow; }
    DocumentWindow &window() { return *_window; }

    // The list (main thread): its jobs in list order, each holding its item.
    const std::vector<vcTableCellViewPtr> &cellArray() const { return _cellArray; }
    // The item of the job at `index`; null out of range.
    LXMediaInfoPtr itemAt(int64_t index) const;
    const std::vector<vcTableCellViewPtr> &convertingCellViews() const { return _convertingCellViews; }
    int64_t numberOfRows() const { return static_cast<int64_t>(_cellArray.size()); }
    int64_t currentIndex() const { return _currentIndex; }

    // The queue: its scheduler, the slots taken and the jobs waiting.
    vcJobScheduler *jobScheduler() override { return &_scheduler; }
    vcJobScheduler &scheduler() { return _scheduler; }
    int64_t currentSessionCount() const;
    // Jobs waiting in line for a slot right now.
    int64_t gateWaiters() const;
    // Of those, the jobs that found every slot taken.
    int64_t slotWaiters() const;
    // The command line runs with its own number of slots; 0 = the stored setting.
    void setSlotLimitOverride(int64_t limit);
    int64_t slotLimit() const;
    // Main thread: hands the stored limit to the scheduler (read from the settings here,
    // never under the scheduler's lock). The settings sheet's change arrives by itself.
    void refreshSlotLimit();
    // Queues the rows for slots, in list order, under one hold of the scheduler's lock.
    void startQueued(const std::vector<vcTableCellViewPtr> &rows);

    // Batch operations.
    virtual void convertAll();
    void pauseAll();
    virtual void cancelAll();
    // The program is quitting: every conversion ends and keeps its finished work, and the
    // rows remember the outputs they were writing, for the next start to take up.
    void suspendAll();
    void setCancelAllKey(bool on);
    void convertFinished() override;
    void conversionWriting() override;
    void convertSessionUpdateState(vcJobEvent event) override;
    int64_t startCount() const;
    bool inConverting() const;
    bool selectItemIsConverting() const;
    bool selectItemIsWaitingForConvert() const;
    // Close guard: true when the window may close now.
    bool windowShouldClose();

    // Deleting. A row's delete control removes the selection when the row is part of a
    // selection of several, else that row; the Delete key removes the selection. Rows that
    // convert or wait for a slot are removed only once the user has said yes, one question
    // for all of them.
    void deleteItemAtIndex(int64_t index) override;
    void deleteSelectCell();
    void deleteCurrentItem();
    void deleteAllFromList(bool ask);
    void deleteAllFromList();

    // Selection: any set of rows. The current item (currentIndex) is what the player and the
    // editor show; it is one of the selected rows whenever any is selected. Shift ranges
    // start at the anchor, the row last clicked alone or with Ctrl.
    // The row alone becomes the selection and the current item.
    virtual void selectItemAtIndex(int64_t index);
    void selectItemIsSelected(vcTableCellView *row, bool selected) override;
    void selectRowWithMode(vcTableCellView *row, vcSelectMode mode) override;
    void selectIndexWithMode(int64_t index, vcSelectMode mode);
    void selectAll();
    // Shift+Up/Down: the current item moves by `step` (no wrap) and the selection runs from
    // the anchor to it.
    void extendSelectionBy(int step);
    bool isRowSelected(const vcTableCellView *row) const { return row && _selected.count(row) != 0; }
    int64_t selectedCount() const { return static_cast<int64_t>(_selected.size()); }
    // The selected rows, in list order.
    std::vector<vcTableCellViewPtr> selectedRows() const;
    void doubleClickItem(int64_t index) override;
    bool validSelectCell() const;
    LXMediaInfoPtr currentEditMovie() const;
    LXMediaInfoPtr fetchEditMovieAtIndex(int64_t index);
    void selectPrevious();
    void selectNext();

    // Intake.
    static const QStringList &acceptedExtensions();
    static const QStringList &invalidExts();
    void addFileToList();
    void concludeDragFile(const QStringList &paths) override;
    void acceptDropedFiles(const QStringList &paths) { concludeDragFile(paths); }
    void cancelAddFiles(bool cancel) { _bCancelAddFile.store(cancel); }
    bool isVideoFile(const LXMediaInfo &item) const;
    static bool isForbbidenFile(const QString &path);
    void addMovie(const LXMediaInfoPtr &item);
    // Appends the items as rows, renumbering and redrawing the list once.
    void addMovies(const std::vector<LXMediaInfoPtr> &items);
    // Main thread: a shown row whose item has no picture gets one, made on a worker; only
    // the pictures of the rows shown last are kept (a long list keeps no picture per row).
    void wantPicture(const vcTableCellViewPtr &row);
    void refreshIndexAndCount();
    // Probes one file into a new item with the default format and its lists.
    LXMediaInfoPtr initEditMovieWithPath(const QString &path);
    // The same on a probe already made (or given back from the saved list).
    LXMediaInfoPtr itemWithProbe(const QString &path, const std::shared_ptr<SWMediaInfoManager> &probe);
    // Whether an intake or history rebuild is running (for tests and the command line).
    bool isAdding() const { return _addingCount.load() > 0; }
    // Whether the saved list is being read back into the list right now.
    bool isRestoring() const { return _restoring.load(); }
    // Why each offer of the last intake was not added, by path. Main thread only.
    const QHash<QString, QString> &lastSkippedReasons() const { return _lastSkippedReasons; }

    // History.
    bool saveHistoryFile();
    // Main thread: a conversion ended. The list (with what is finished) is saved a moment
    // later, once for the ends that arrive meanwhile, so that a restart after a crash knows
    // which rows are done without a save of the whole list per row of a long batch.
    void scheduleHistorySave();
    void loadHistoryAtLuanch();
    bool canClearAllHistory();
    void clearAllHistory();

    // Format lists: the item's format (the chosen one when one was kept, else its default)
    // with the defaults of that format.
    virtual void loadResolutionAVCodecs(LXMediaInfo &item);
    void loadResolutionAVCodecsWithKeyIsDefault(LXMediaInfo &item, const FormatKey &key, bool isDefault);
    // Puts a format on the item: the format's lists and defaults, the source's frame size
    // and then `parameters` where they fit, unless `keepChoices` (the item is on that format
    // already and keeps what was edited for it); then the container and the chosen key. The
    // window and the command line both apply a format through here.
    void applyFormat(LXMediaInfo &item, const FormatRecord &record, const FormatRules::FormatChoices &parameters = {},
                     bool keepChoices = false);
    static QString outputFmtFileName() { return QStringLiteral("ODOutputConfig"); }
    // The format whose lists were loaded last.
    FormatKey lastKey() const;

    WorkerGroup *workerGroup() override { return &_workers; }
    QString exportFolder() override { return _exportFolderOverride; }
    // The command line keeps the window's list and folder untouched.
    void setUsesHistory(bool on) { _usesHistory = on; }
    // Items get a picture of their clip for their row. The command line shows none: without
    // pictures a list of 10,000 files keeps about 500 MB less and each probe decodes nothing.
    void setMakesPictures(bool on) { _makesPictures = on; }
    // The window's rows show their expected size and time (vcEstimates); the command line
    // makes none unasked.
    void setMakesEstimates(bool on);
    vcEstimates *estimates() const { return _estimates.get(); }
    // Main thread: soon after, the rows' estimates follow what changed (or conversions ended).
    void wantEstimates();
    void setExportFolderOverride(const QString &folder) { _exportFolderOverride = folder; }
    // Called on each conversion thread after the item's choices are in the option; set it
    // before converting.
    using OptionAdjuster = std::function<void(vcTableCellView *, SWConvertOption &)>;
    void setSessionOptionAdjuster(OptionAdjuster f) { _optionAdjuster = std::move(f); }
    void adjustSessionOption(vcTableCellView *job, SWConvertOption &option) override {
        if (_optionAdjuster)
            _optionAdjuster(job, option);
    }

protected:
    vcTableCellViewPtr cellAt(int64_t index) const;
    void addImportFiles(QStringList paths);
    // The item an offered file becomes with its (valid) probe, or null with the reason in `why`.
    LXMediaInfoPtr itemForOffer(const QString &path, const std::shared_ptr<SWMediaInfoManager> &probe,
                                QString *why = nullptr);
    // A row on its way to the list, with what a restored row needs to stay finished.
    struct PendingRow {
        LXMediaInfoPtr item;
        QString convertedOutput, convertedDigest;
        QString interruptedOutput;
    };
    // Main thread: adds the rows whose paths are not listed yet and empties `pending`;
    // returns the paths that were.
    QStringList addPendingRows(std::vector<PendingRow> &pending);
    QSet<QString> listedPaths() const;
    void makePictures();
    // Why a path offered to the intake cannot become a row before it is probed (empty: it may).
    static QString refusalBeforeProbe(const QString &path);
    // Why the probe of an item could not read it, or empty when it could.
    static QString unreadableReason(const LXMediaInfo &item);
    // One message naming the offers that were not added and why (nothing when all were).
    void reportSkippedFiles(const QStringList &skipped);
    void loadHistoryFiles(QVariantList entries);
    // The row's item a saved entry gives back: from the probe it kept while its file is
    // unchanged, else probed again with the checks of an added file; null, and logged, when
    // the file or the entry cannot be a row. `probed` is set when the file was read.
    LXMediaInfoPtr restoredItem(const vcHistoryEntry &entry, bool &probed);
    void updateProgressOnMain(double percent);
    // Removes the rows (stopping what they convert) in one pass over the list: one
    // renumbering, one bookmark write and one history save however many go. The row that
    // takes the first removed row's place becomes the selection and the current item.
    void removeRows(const std::vector<vcTableCellViewPtr> &rows);
    // Asks first when one of the rows converts or waits for a slot, then removes those of
    // them still in the list.
    void deleteRowsAsking(const std::vector<vcTableCellViewPtr> &rows);
    // Makes `index` the current item (what the player and the editor show); the selection
    // stays as it is. Out of range: no current item.
    virtual void setCurrentItem(int64_t index);
    void setRowSelected(const vcTableCellViewPtr &row, bool selected);
    // The selection becomes the rows first..last (either order).
    void selectRange(int64_t first, int64_t last);
    void clearSelection();
    // A row that left the list: stopped (its partial output goes) and out of the batch.
    void forgetRemovedRow(const vcTableCellViewPtr &row);

    DocumentWindow _noWindow;
    DocumentWindow *_window = &_noWindow;

    std::vector<vcTableCellViewPtr> _cellArray;
    std::vector<vcTableCellViewPtr> _convertingCellViews;
    int64_t _currentIndex = -1;
    int64_t _anchorIndex = -1;
    std::unordered_set<const vcTableCellView *> _selected; // main thread

    vcJobScheduler _scheduler;
    bool _shutDown = false;
    std::atomic<int64_t> _slotLimitOverride{0};

    bool _usesHistory = true;
    std::atomic<bool> _makesPictures{true}; // read by the intake's thread
    std::unique_ptr<vcEstimates> _estimates;
    bool _estimatesQueued = false; // main thread
    QString _exportFolderOverride;
    OptionAdjuster _optionAdjuster;
    std::atomic<bool> _bCancelAddFile{false};
    std::atomic<int> _addingCount{0};
    std::atomic<bool> _restoring{false};
    // Main thread: the saved entries being restored, and how many of them are done with.
    QVariantList _restoreEntries;
    qsizetype _restoreDone = 0;
    // Pictures: asked for (main thread), waiting for the worker (under the lock), kept.
    QSet<const LXMediaInfo *> _pictureAsked;
    std::mutex _pictureLock;
    std::deque<std::weak_ptr<vcTableCellView>> _pictureAsks;
    bool _pictureWorking = false;
    std::atomic<bool> _bShutDownPictures{false};
    std::deque<std::weak_ptr<LXMediaInfo>> _pictured;
    bool _historySaveQueued = false; // main thread
    QHash<QString, QString> _lastSkippedReasons;
    mutable std::mutex _keyLock;
    FormatKey _lastKey = FormatKey::fromKeyPath(LXDefaultFormat::forSource(true).keyPath());

    WorkerGroup _workers;
    // Receives the "addFilesKey" notification on the main thread for as long as the document lives.
    QObject _notificationContext;
};
