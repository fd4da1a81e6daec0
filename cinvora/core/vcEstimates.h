#pragma once
// Each row's expected output size and conversion time, shown before it converts. They are
// made in the background, one row at a time, by encoding short samples with the row's real
// settings (SWConvertSession::estimate), at the lowest priority; while anything converts
// none is made and the one under way is cancelled, so an estimate never holds Convert up.
// A row keeps its estimate with the digest of what it would convert; one made for other
// settings is dropped and made again.
//
// Main thread only, except for the estimate's own thread.
#include "vcTableCellView.h"

#include <foundation/WorkerGroup.h>
#include <framewheel/SWConvertSession.h>

#include <QObject>
#include <deque>
#include <memory>
#include <vector>

class vcEstimates {
public:
    explicit vcEstimates(WorkerGroup &workers);
    ~vcEstimates();
    vcEstimates(const vcEstimates &) = delete;
    vcEstimates &operator=(const vcEstimates &) = delete;

    // The rows there are, in list order: those not finished whose estimate was made for
    // other settings (or never) are queued, in that order, and their old figure goes. A
    // long list is looked through a batch of rows per turn of the event loop.
    void refresh(const std::vector<vcTableCellViewPtr> &rows);
    bool scanning() const { return _scanAt < _scan.size(); }
    // While held (a conversion runs), the estimate under way is cancelled and no other
    // starts; on release the queue goes on, the cancelled row first.
    void setHeld(bool held);
    bool held() const { return _held; }
    // Cancels what runs; nothing starts any more.
    void close();
    // The row whose estimate is being made, if any (for tests).
    vcTableCellViewPtr running() const { return _runningRow.lock(); }
    size_t queued() const { return _queue.size(); }

private:
    struct Pending {
        std::weak_ptr<vcTableCellView> row;
        QString digest;
    };
    void scanSome();
    void startNext();
    void finished(const std::shared_ptr<vcTableCellView> &row, const QString &digest, const SWConvertEstimate &e,
                  bool cancelled);

    WorkerGroup &_workers;
    // Outlives this object for the estimate's thread, which posts its end to the main thread.
    std::shared_ptr<bool> _alive = std::make_shared<bool>(true);
    std::deque<Pending> _queue;
    std::vector<std::weak_ptr<vcTableCellView>> _scan; // what refresh() looks through
    size_t _scanAt = 0;
    bool _scanQueued = false;
    QObject _context;                           // the scan's turns die with it
    std::shared_ptr<SWConvertSession> _session; // the estimate under way
    std::weak_ptr<vcTableCellView> _runningRow;
    QString _runningDigest;
    bool _held = false;
    bool _closed = false;
};
