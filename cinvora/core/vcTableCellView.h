#pragma once
// One conversion job: one media item turned into one output file through one conversion
// session at a time. The row widget of the list shows it (through vcTableCellViewDisplay);
// the document admits it through its conversion gate (vcTableCellViewDelegate).
//
// Threads: the job's life (waiting, converting, paused, ended) is a state in its
// scheduler (vcJobScheduler), changed only there. A waiting job is an entry in the
// scheduler's line; a conversion thread exists only once the job is admitted, and holds its
// own reference to the job and to the session it converts. Every change of the row's
// controls runs on the main thread, derived from the job's state.
#include <QString>
#include <foundation/Files.h>
#include <QStringList>
#include <atomic>
#include <memory>
#include <mutex>

#include <framewheel/SWConvertSession.h>
#include <reelwright/LXMediaInfo.h>

#include "vcJobScheduler.h"

struct LXFillRules;

class vcTableCellView;
class vcLeftTimeEstimator;
namespace foundation {
class WorkerGroup;
}
using WorkerGroup = foundation::WorkerGroup;

// How a press on a row changes the selection: the row alone (a plain click), the row added
// or taken out (Ctrl), the rows from the anchor to it (Shift).
enum class vcSelectMode { Only, Toggle, Extend };

class vcTableCellViewDelegate {
public:
    virtual ~vcTableCellViewDelegate() = default;
    // The scheduler that queues and admits the job; null: a job without an owner, which
    // may queue but is never given a slot.
    virtual vcJobScheduler *jobScheduler() { return nullptr; }
    // Told, on the thread that gave it back and without any lock held, that the job gave
    // its slot back.
    virtual void convertSessionSignal(vcTableCellView *job) { (void)job; }
    // Told before the row's own start or stop (vcJobEvent::Start or Stop) takes effect, so
    // that the Convert button can follow what will be running.
    virtual void convertSessionUpdateState(vcJobEvent event) { (void)event; }
    virtual void convertFinished() {}
    // A conversion has claimed its output and begins writing (any thread): a list saved from
    // now on says the row was converting, so that a crash leaves it to be taken up.
    virtual void conversionWriting() {}
    virtual void deleteItemAtIndex(int64_t index) { (void)index; }
    // Row events the widget forwards.
    virtual void concludeDragFile(const QStringList &paths) { (void)paths; }
    virtual void selectItemIsSelected(vcTableCellView *row, bool selected) {
        (void)row;
        (void)selected;
    }
    virtual void selectRowWithMode(vcTableCellView *row, vcSelectMode mode) {
        (void)row;
        (void)mode;
    }
    virtual void doubleClickItem(int64_t index) { (void)index; }
    // Where the job starts its threads (the owner joins them); null: the job's own group.
    virtual WorkerGroup *workerGroup() { return nullptr; }
    // Where outputs go; empty: the stored export folder.
    virtual QString exportFolder() { return {}; }
    // Last word on a session's settings, after the item's choices and the container rules.
    virtual void adjustSessionOption(vcTableCellView *job, SWConvertOption &option) {
        (void)job;
        (void)option;
    }
};

// How the last conversion of a job ended: the value the job reports, never its texts.
struct vcJobOutcome {
    enum Kind { None, Done, Failed, Cancelled };
    Kind kind = None;
    QString reason;           // Failed: why, in the engine's words
    QString outputFile;       // Done: the file written
    QString note;             // Done: why its name differs from the source's (Files' note), what it left out
    SWConvertResult measured; // Done: the picture's measured quality (not kept in the saved list)
    bool operator==(const vcJobOutcome &) const = default;
};

// What the row shows of its job. Main thread only.
struct vcRowControls {
    QString statusText;
    bool statusVisible = false;
    double progress = 0.0;
    // The conversion's remaining time, microseconds; -1 while not known.
    int64_t remainingUs = -1;
    bool progressVisible = false;
    bool stopVisible = false;
    bool deleteVisible = true;
    bool fmtInfoVisible = true;
    // The end of the last conversion until the next start (None meanwhile).
    vcJobOutcome outcome;
    // The expected size and time of converting it as it is now (none: not known yet).
    SWConvertEstimate estimate;
    bool operator==(const vcRowControls &) const = default;
};

class vcTableCellViewDisplay {
public:
    virtual ~vcTableCellViewDisplay() = default;
    virtual void rowControlsChanged(const vcRowControls &controls) { (void)controls; }
};

class vcTableCellView : public SWConvertSessionDelegate, public std::enable_shared_from_this<vcTableCellView> {
public:
    static std::shared_ptr<vcTableCellView> create(LXMediaInfoPtr item);
    ~vcTableCellView() override;

    // Status texts.
    static QString waitingText() { return QCoreApplication::translate("vcTableCellView", "Waiting for convert..."); }
    static QString pausedText() { return QCoreApplication::translate("vcTableCellView", "Paused"); }
    static QString failedText() { return QCoreApplication::translate("vcTableCellView", "Failed"); }
    static QString stoppedText();
    // "Left time: 01:02:05"; negative counts as zero.
    static QString leftTimeText(int64_t remainingUs);
    static QString _timeDescriptionFromLongTime(int64_t us);

    void setTbCellDelegate(vcTableCellViewDelegate *d) { _tbCellDelegate.store(d); }
    vcTableCellViewDelegate *tbCellDelegate() const { return _tbCellDelegate.load(); }
    // Main thread only; the widget clears it when it goes away.
    void setDisplay(vcTableCellViewDisplay *d);

    LXMediaInfoPtr editMovie() const;
    QString outputFile() const;
    int64_t idx() const { return _idx.load(); }
    void setIdx(int64_t i) { _idx.store(i); }

    // The job's place in its scheduler (one consistent look).
    vcJobStep step() const;
    vcJobState state() const { return step().state; }
    vcJobScheduler &scheduler() const;
    // Derived from the state: admitted at least once in this conversion and not ended
    // (paused included); paused, or waiting to resume; cancelled (stopped and ending, or
    // ended so); a conversion not yet ended and shown; waiting for a slot; ended.
    bool aleadyStart() const;
    bool isPaused() const;
    bool isCancel() const;
    bool hasSession() const;
    bool isWaiting() const;
    bool finished() const;
    // Wall time of the last conversion that ran, seconds (0 before any ended).
    double lastConversionSeconds() const { return _lastConversionMs.load() / 1000.0; }
    // Pause-all's word for a job that waits to resume: it stays paused.
    void setPauseAgain(bool v);
    // Moves on with every stop and pause-all of this job. A start carries the ticket it was
    // asked for with, so that a start that runs late never acts after a later stop or
    // pause-all.
    uint64_t startTicket() const;

    // Main thread: queue for a slot (or to resume), as convert-all does.
    void turnToConvertingView();
    void stopConvert();
    // Cancels the session without touching the row (shutdown).
    void cancelQuietly();
    // The program is quitting: the conversion ends, its finished work stays for the next
    // start (a stop removes it).
    void suspendQuietly();
    void backToPrepareConvertView();
    void deleteItem();
    const vcRowControls &controls() const { return _controls; }
    // Main thread: how the last conversion ended.
    const vcJobOutcome &lastOutcome() const { return _lastOutcome; }
    // Main thread: the last conversion succeeded, its file is still there, and the source,
    // trim, tracks, format and parameters are what they were when it started: converting
    // again would only make a numbered copy.
    bool isUpToDate();
    // What decides the output: the option the item fills, the source file and its
    // modification, the subtitle file, the container and the export folder.
    QString conversionFingerprint(const SWConvertOption &option) const;
    // How the list fills its conversions: stream copy as the settings say.
    static LXFillRules queueRules();
    // Any thread: fills `session` as this row's conversion would be filled, its output named
    // in the export folder but not claimed, for SWConvertSession::estimate(). The session
    // is for the estimate only.
    void prepareEstimate(SWConvertSession &session);
    QString currentFingerprint();
    // Main thread: the expected size and time of converting the row, made for what
    // `digest` describes (empty: none), shown by the row (vcRowControls::estimate).
    void setEstimate(const QString &digest, const SWConvertEstimate &estimate);
    const QString &estimateDigest() const { return _estimateDigest; }
    // The fingerprint as the saved list keeps it: a digest (hex), never the settings.
    static QString fingerprintDigest(const QString &fingerprint);
    // Main thread: the digest of what made the last successful output; empty unless the
    // last conversion succeeded.
    QString doneFingerprintDigest() const;
    // Main thread: the last conversion succeeded but the item (or what else decides the
    // output) has changed since: the digest of what made the output no longer matches, so
    // the next convert-all makes it again. False again once the change is undone.
    bool outputOutOfDate();
    // Main thread, on a row that never converted in this run of the program: the saved
    // list says `outputFile` was made from what `digest` describes. The row is finished
    // (shown so, and left alone by convert-all) when that file is still there and the
    // item still gives that digest; answers whether it is.
    bool restoreFinished(const QString &outputFile, const QString &digest);
    // A restored row whose conversion into `outputFile` was interrupted (the program was
    // killed or quit) with `keptPercent` of it done: it shows that progress, and its next
    // conversion writes that name again and takes the kept work up.
    void restoreInterrupted(const QString &outputFile, double keptPercent);
    // The output an interrupted or running conversion of this row writes; empty when none.
    QString interruptedOutput() const;
    static QString interruptedText(double keptPercent);

    // Any thread; never blocks. Queues for a slot, or to resume a paused conversion, unless
    // a stop or pause-all came after `ticket` was read.
    void startConvert();
    void startConvert(uint64_t ticket);
    // Pauses a converting job, or queues a paused one to resume.
    void pauseConvert();

    // Claims the first free name folder/stem(n).ext through its partial file, so that no
    // two jobs write one file and no existing file is replaced; the job holds it until its
    // session has ended. Invalid when nothing could be created (e.g. the folder is not
    // writable).
    static foundation::OutputReservation reserveOutputName(const QString &folder, const QString &sourcePath,
                                                           const QString &ext, QString *why = nullptr);

    // SWConvertSessionDelegate
    void sessionProgressPastLeft(SWConvertSession *session, double percent, int64_t pastUs, int64_t leftUs) override;

    // Releases the item and the session without cancelling it.
    void remove();

    // The nice value a conversion thread runs at (its encoder threads inherit it).
    static int conversionThreadNice();

    // The process-wide count of jobs made so far: a job's place in the list order.
    uint64_t serial() const { return _serial; }

private:
    friend class vcJobScheduler;
    // One conversion: its session and what its thread learns. Threads hold it for their
    // whole life.
    struct Run {
        std::shared_ptr<SWConvertSession> session = std::make_shared<SWConvertSession>();
        std::mutex lock; // guards the fields below
        int64_t lastProgressMs = -1;
        QString fingerprint; // what this run converts, set before it starts
        std::unique_ptr<vcLeftTimeEstimator> leftTime;
        int64_t sharedWith = -1; // the conversions converting at the last report
        vcJobOutcome outcome;    // set by its thread before it reports the end
        // The latest report: percent and remaining time (-1: none since the last admission).
        double percent = 0.0;
        int64_t remainingUs = -1;
    };
    using RunPtr = std::shared_ptr<Run>;
    // The job as its scheduler sees it: guarded by the scheduler's lock, changed only by it.
    struct QueueRecord {
        vcJobStep step;
        uint64_t run = 0;                        // number of the current conversion
        uint64_t ticket = 0;                     // see startTicket
        uint64_t enqueued = 0;                   // the scheduler's count when it entered the line
        const vcJobScheduler *counter = nullptr; // the scheduler that counts it per state
    };

    explicit vcTableCellView(LXMediaInfoPtr item);
    RunPtr currentRun() const;
    std::shared_ptr<SWConvertSession> currentSession() const;
    WorkerGroup &workers();
    // Main thread: change the row's controls and tell the widget.
    void updateControls(const std::function<void(vcRowControls &)> &change);
    // Under the scheduler's lock: a new session for a new conversion.
    void beginRun();
    // Starts the conversion thread of run number `run`; false when the owner shuts down.
    bool spawnConversion(uint64_t run);
    void newThreadToConvert(RunPtr run, uint64_t runNumber);
    // Main thread: the row's controls follow the job's state.
    void refreshDisplay();
    // Any thread: the same, queued to the main thread (at most one queued at a time).
    void postDisplayRefresh();
    // Main thread: the end of run `run` is shown; `fromMainThreadEvent`: the end came from
    // an operation on the main thread, which the document hears of after it has returned.
    void deliverEnd(uint64_t run, bool cancelAllInForce, bool fromMainThreadEvent);
    QString outputFolder();

    std::atomic<vcTableCellViewDelegate *> _tbCellDelegate{nullptr};
    vcTableCellViewDisplay *_display = nullptr;
    mutable std::mutex _lock; // guards _editMovie, _run, _outputFile
    LXMediaInfoPtr _editMovie;
    RunPtr _run;
    QString _outputFile;
    QString _interruptedOutput;
    std::atomic<bool> _suspending{false};
    QueueRecord _queue;
    const uint64_t _serial;
    std::atomic<int64_t> _idx{0};
    std::atomic<bool> _refreshQueued{false};
    std::atomic<int64_t> _lastConversionMs{0};
    vcRowControls _controls;
    vcJobOutcome _lastOutcome;
    QString _doneDigest;     // main thread: the digest of the last success's fingerprint
    QString _estimateDigest; // main thread: what the shown estimate was made for
};

using vcTableCellViewPtr = std::shared_ptr<vcTableCellView>;
