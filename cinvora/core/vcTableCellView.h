#pragma once
// One conversion job: one media item turned into one output file through one conversion
// session at a time. The row widget of the list shows it (through vcTableCellViewDisplay);
// the document admits it through its conversion gate (vcTableCellViewDelegate).
//
// Threads: turnToConvertingView, stopConvert, finishedConvert and every change of the row's
// controls run on the main thread. startConvert, pauseConvert and continueConvert run on
// queueing threads; the conversion itself runs on its own thread. Every thread holds its
// own reference to the job and to the session it was started for.
#include <QString>
#include <foundation/Files.h>
#include <QStringList>
#include <atomic>
#include <memory>
#include <mutex>

#include <framewheel/SWConvertSession.h>
#include <reelwright/LXMediaInfo.h>

class vcTableCellView;
class vcLeftTimeEstimator;
namespace foundation {
class WorkerGroup;
}
using WorkerGroup = foundation::WorkerGroup;

class vcTableCellViewDelegate {
public:
    virtual ~vcTableCellViewDelegate() = default;
    // Blocks until a slot is free and takes it; returns holding the gate. False when the
    // owner is shutting down: then nothing was taken and nothing is held.
    virtual bool converSessionLock(vcTableCellView *job) { (void)job; return true; }
    virtual void converSessionUnLock(vcTableCellView *job) { (void)job; }
    // Gives one slot back and wakes one waiting job.
    virtual void convertSessionSignal(vcTableCellView *job) { (void)job; }
    virtual void convertSessionUpdateState(int state) { (void)state; }
    virtual void convertFinished() {}
    virtual void deleteItemAtIndex(int64_t index) { (void)index; }
    // Row events the widget forwards.
    virtual void concludeDragFile(const QStringList &paths) { (void)paths; }
    virtual void selectItemIsSelected(vcTableCellView *row, bool selected) { (void)row; (void)selected; }
    virtual void doubleClickItem(int64_t index) { (void)index; }
    // Where the job starts its threads (the owner joins them); null: the job's own group.
    virtual WorkerGroup *workerGroup() { return nullptr; }
    // Where outputs go; empty: the stored export folder.
    virtual QString exportFolder() { return {}; }
    // Last word on a session's settings, after the item's choices and the container rules.
    virtual void adjustSessionOption(vcTableCellView *job, SWConvertOption &option) { (void)job; (void)option; }
};

// How the last conversion of a job ended: the value the job reports, never its texts.
struct vcJobOutcome {
    enum Kind { None, Done, Failed, Cancelled };
    Kind kind = None;
    QString reason;     // Failed: why, in the engine's words
    QString outputFile; // Done: the file written
    bool operator==(const vcJobOutcome &) const = default;
};

// What the row shows of its job. Main thread only.
struct vcRowControls {
    QString statusText;
    bool statusVisible = false;
    double progress = 0.0;
    bool progressVisible = false;
    bool stopVisible = false;
    bool deleteVisible = true;
    bool fmtInfoVisible = true;
    // The end of the last conversion until the next start (None meanwhile).
    vcJobOutcome outcome;
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
    static QString waitingText() { return QStringLiteral("Waiting for convert..."); }
    static QString pausedText() { return QStringLiteral("Paused"); }
    static QString failedText() { return QStringLiteral("Failed"); }
    // "Left time: 01:02:05"; negative counts as zero.
    static QString leftTimeText(int64_t remainingUs);
    static QString _timeDescriptionFromLongTime(int64_t us);

    void setTbCellDelegate(vcTableCellViewDelegate *d) { _tbCellDelegate.store(d); }
    vcTableCellViewDelegate *tbCellDelegate() const { return _tbCellDelegate.load(); }
    // Main thread only; the widget clears it when it goes away.
    void setDisplay(vcTableCellViewDisplay *d);

    LXMediaInfoPtr editMovie() const;
    void replaceEditMovie(LXMediaInfoPtr item);
    QString outputFile() const;
    int64_t idx() const { return _idx.load(); }
    void setIdx(int64_t i) { _idx.store(i); }

    // Derived from the current session (false without one).
    bool aleadyStart() const;
    bool isPaused() const;
    bool isCancel() const;
    bool hasSession() const;
    // The current session has a thread waiting in the gate.
    bool isWaiting() const;
    bool finished() const { return _finished.load(); }
    // Wall time of the last conversion that ran, seconds (0 before any ended).
    double lastConversionSeconds() const { return _lastConversionMs.load() / 1000.0; }
    // Pause the current conversion again as soon as its resume is admitted. The mark
    // belongs to that conversion: a stopped or ended one takes it along.
    bool pauseAgain() const;
    void setPauseAgain(bool v);
    // Counts the pause-alls that reached this row. A convert-all hands its start the count
    // it saw, so a start that runs late never resumes what a later pause-all paused.
    uint64_t pauseAllCount() const { return _pauseAllCount.load(); }
    void notePauseAll() { ++_pauseAllCount; }

    // Main thread.
    void turnToConvertingView();
    void stopConvert();
    // Cancels the session without touching the row (shutdown).
    void cancelQuietly();
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
    QString currentFingerprint();

    // Queueing threads. A paused session is resumed only while no pause-all came after
    // `pauseAllCountSeen` (the count when the start was asked for).
    void startConvert();
    void startConvert(uint64_t pauseAllCountSeen);
    // Pauses a running session, or resumes a paused one (queueing for a slot).
    void pauseConvert();
    // Pauses the session only if it runs; never resumes (pause-all).
    void pauseRunning();

    // The name the next output would get (tested, not reserved).
    QString createOutputname(const QString &sourcePath) const;
    // Claims the first free name folder/stem(n).ext through its partial file, so that no
    // two jobs write one file and no existing file is replaced; the job holds it until its
    // session has ended. Invalid when nothing could be created (e.g. the folder is not
    // writable).
    static foundation::OutputReservation reserveOutputName(const QString &folder, const QString &sourcePath,
                                                           const QString &ext);

    // SWConvertSessionDelegate
    void sessionProgressPastLeft(SWConvertSession *session, double percent, int64_t pastUs, int64_t leftUs) override;

    // Releases the item and the session without cancelling it.
    void remove();

    // The nice value a conversion thread runs at (its encoder threads inherit it).
    static int conversionThreadNice();

private:
    // One conversion session and its bookkeeping. Threads hold it for their whole life.
    struct Run {
        std::shared_ptr<SWConvertSession> session = std::make_shared<SWConvertSession>();
        std::mutex lock;          // guards the fields below
        bool waiting = false;     // a thread of this run waits in the gate
        bool holdsSlot = false;   // this run holds one of the gate's slots
        bool ended = false;       // the conversion thread has finished
        bool pauseAgain = false;  // pause-all came while this run waited to resume
        int64_t lastProgressMs = -1;
        QString fingerprint;      // what this run converts, set before it starts
        std::unique_ptr<vcLeftTimeEstimator> leftTime;
    };
    using RunPtr = std::shared_ptr<Run>;

    explicit vcTableCellView(LXMediaInfoPtr item);
    RunPtr currentRun() const;
    bool isCurrent(const RunPtr &run) const;
    WorkerGroup &workers();
    void spawn(std::function<void()> fn);
    // Main thread: change the row's controls and tell the widget.
    void updateControls(const std::function<void(vcRowControls &)> &change);
    // Any thread: the same, queued to the main thread (or run there, waiting).
    void postControls(std::function<void(vcRowControls &)> change, bool wait);

    void newThreadToConvert(RunPtr run);
    void continueConvert(RunPtr run);
    void returnSlot(const RunPtr &run, bool ended = false);
    void pauseIfRunning(const RunPtr &run);
    // Main thread. `cancelAllInForce`: the "cancelAll" setting as the conversion thread
    // read it when the conversion ended.
    void finishedConvert(bool cancelAllInForce, const vcJobOutcome &outcome);
    QString outputFolder();

    std::atomic<vcTableCellViewDelegate *> _tbCellDelegate{nullptr};
    vcTableCellViewDisplay *_display = nullptr;
    mutable std::mutex _lock; // guards _editMovie, _run, _outputFile
    LXMediaInfoPtr _editMovie;
    RunPtr _run;
    QString _outputFile;
    std::atomic<int64_t> _idx{0};
    std::atomic<bool> _finished{false};
    std::atomic<uint64_t> _pauseAllCount{0};
    std::atomic<int64_t> _lastConversionMs{0};
    vcRowControls _controls;
    vcJobOutcome _lastOutcome;
    QString _doneFingerprint; // main thread: the fingerprint of the last success
};

using vcTableCellViewPtr = std::shared_ptr<vcTableCellView>;
