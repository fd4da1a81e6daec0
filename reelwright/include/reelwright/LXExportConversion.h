#pragma once
// The conversion behind an export from the editor: one media item, one codec session, one
// thread. It knows no window; LXMediaConvertController puts a sheet in front of it.
//
// Output: the file goes to the wanted path, or, when a file is there, to the first free
//   numbered name beside it ("clip(1).mov"); the name is reserved with an exclusive create
//   before the conversion starts, so two exports never write one file and nothing that
//   was there is replaced. A conversion that fails or is cancelled leaves no file behind.
// Threading: every operation is for the main thread. The conversion runs on a thread of
//   its own, tracked process-wide (cancelAllAndWait() ends them all); that thread holds
//   its own reference to this object. Progress and the end are posted to the main thread
//   and reach the delegate there; nothing is reported after the delegate was cleared.
#include <framewheel/SWConvertSession.h>
#include <reelwright/LXMediaInfo.h>

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

class LXExportConversion;

enum class LXExportOutcome {
    Finished,  // the file is complete at outputPath() (a cancel after its last frame keeps it)
    Cancelled, // cancel() stopped it; no file is left
    Failed,    // the engine refused or failed (lastError()); no file is left
};

// Every method is optional; main thread.
class LXExportConversionDelegate {
public:
    virtual ~LXExportConversionDelegate() = default;
    // Percent 0..100 over the kept range; elapsed and remaining seconds (paused time not
    // counted). A finished conversion reports 100 last, before its end.
    virtual void exportConversionProgress(LXExportConversion *conversion, double percent, double pastSeconds,
                                          double leftSeconds) {
        (void)conversion, (void)percent, (void)pastSeconds, (void)leftSeconds;
    }
    // Once per started conversion, after its thread has dropped the session.
    virtual void exportConversionEnded(LXExportConversion *conversion, LXExportOutcome outcome) {
        (void)conversion, (void)outcome;
    }
};

class LXExportConversion : public SWConvertSessionDelegate, public std::enable_shared_from_this<LXExportConversion> {
public:
    static std::shared_ptr<LXExportConversion> create();
    ~LXExportConversion() override;

    LXExportConversionDelegate *delegate() const { return _delegate; }
    void setDelegate(LXExportConversionDelegate *d) { _delegate = d; }

    // Converts `item` into `wantedPath` (see Output). A held conversion is resumed instead;
    // while one runs nothing happens. False when nothing was started or resumed.
    bool start(LXMediaInfoPtr item, const QString &wantedPath);
    // Holds a running conversion; nothing when none runs or it is already held.
    void pause();
    // Resumes a held conversion; nothing otherwise.
    void resume();
    // Ends the conversion (also a held one); it reports LXExportOutcome::Cancelled, unless
    // the file was already complete (Finished).
    void cancel();

    bool hasSession() const;
    bool isPaused() const;
    // From start() until the end was reported.
    bool isRunning() const { return _running.load(); }
    // The reserved output of the current or last conversion (empty before it is reserved).
    QString outputPath() const;
    QString lastError() const;
    // What the last finished conversion measured of its picture (SWConvertSession::result()).
    SWConvertResult lastResult() const;
    double lastPercent() const { return _lastPercent.load(); }

    // Cancels every export conversion of the process and waits for their threads (their
    // ends are delivered meanwhile). False on timeout.
    static bool cancelAllAndWait(int timeoutMs = -1);
    // Waits without cancelling.
    static bool waitForAll(int timeoutMs = -1);
    static int runningCount();

    // SWConvertSessionDelegate (conversion thread).
    void sessionProgressPastLeft(SWConvertSession *session, double percent, int64_t pastUs, int64_t leftUs) override;

private:
    LXExportConversion() = default;
    std::shared_ptr<SWConvertSession> currentSession() const;
    void newThreadToConvert(std::shared_ptr<SWConvertSession> session, LXMediaInfoPtr item, QString wantedPath);
    void deliverEnd(LXExportOutcome outcome);

    LXExportConversionDelegate *_delegate = nullptr; // main thread only
    mutable std::mutex _lock;                        // guards the fields below
    std::shared_ptr<SWConvertSession> _session;
    QString _outputPath;
    QString _lastError;
    SWConvertResult _lastResult;
    std::atomic<bool> _running{false};
    std::atomic<double> _lastPercent{0.0};
    std::atomic<double> _lastPastSeconds{0.0};
};

using LXExportConversionPtr = std::shared_ptr<LXExportConversion>;
