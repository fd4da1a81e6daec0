#include "vcEstimates.h"

#include <foundation/MainThread.h>

#include <QTimer>

using foundation::MainThread;

vcEstimates::vcEstimates(WorkerGroup &workers) : _workers(workers) {}

vcEstimates::~vcEstimates() {
    close();
    *_alive = false;
}

namespace {
// Each row's fingerprint reads its files' sizes and times: a few thousand rows are looked
// through a batch at a time, so the window never stalls on them.
constexpr size_t kScanBatch = 100;
} // namespace

void vcEstimates::refresh(const std::vector<vcTableCellViewPtr> &rows) {
    if (_closed)
        return;
    _scan.assign(rows.begin(), rows.end());
    _scanAt = 0;
    _queue.clear();
    if (!_scanQueued) // else the turn already queued starts the scan over
        scanSome();
}

void vcEstimates::scanSome() {
    _scanQueued = false;
    if (_closed)
        return;
    for (size_t n = 0; n < kScanBatch && _scanAt < _scan.size(); ++n) {
        const vcTableCellViewPtr row = _scan[_scanAt++].lock();
        // A converted row says what it measured instead; a converting one shows its progress.
        if (!row || row->lastOutcome().kind == vcJobOutcome::Done || row->hasSession())
            continue;
        const QString digest = vcTableCellView::fingerprintDigest(row->currentFingerprint());
        if (digest.isEmpty() || digest == row->estimateDigest())
            continue;
        row->setEstimate(QString(), {});
        if (row != _runningRow.lock())
            _queue.push_back({row, digest});
        else if (digest != _runningDigest) {
            // The estimate under way was for settings the row no longer has.
            _session->cancel();
            _queue.push_back({row, digest});
        }
    }
    if (_scanAt < _scan.size()) {
        _scanQueued = true;
        QTimer::singleShot(0, &_context, [this] { scanSome(); });
    } else {
        _scan.clear();
        _scanAt = 0;
    }
    startNext();
}

void vcEstimates::setHeld(bool held) {
    if (_held == held)
        return;
    _held = held;
    if (held && _session)
        _session->cancel();
    if (!held)
        startNext();
}

void vcEstimates::close() {
    _closed = true;
    _queue.clear();
    _scan.clear();
    _scanAt = 0;
    if (_session)
        _session->cancel();
}

void vcEstimates::startNext() {
    if (_closed || _held || _session)
        return;
    while (!_queue.empty()) {
        Pending next = _queue.front();
        _queue.pop_front();
        const vcTableCellViewPtr row = next.row.lock();
        if (!row || row->hasSession() || row->lastOutcome().kind == vcJobOutcome::Done)
            continue;
        auto session = std::make_shared<SWConvertSession>();
        const std::weak_ptr<bool> alive = _alive;
        const QString digest = next.digest;
        const bool spawned = _workers.spawn([this, alive, row, session, digest] {
            row->prepareEstimate(*session);
            const SWConvertEstimate e = session->estimate();
            const bool cancelled = session->cancelSession();
            MainThread::post([this, alive, row, digest, e, cancelled] {
                if (const auto a = alive.lock(); a && *a)
                    finished(row, digest, e, cancelled);
            });
        });
        if (!spawned)
            return;
        _session = std::move(session);
        _runningRow = row;
        _runningDigest = digest;
        return;
    }
}

void vcEstimates::finished(const std::shared_ptr<vcTableCellView> &row, const QString &digest,
                           const SWConvertEstimate &e, bool cancelled) {
    _session.reset();
    _runningRow.reset();
    _runningDigest.clear();
    if (_closed)
        return; // the rows' displays may be going
    if (cancelled) {
        // Held for a conversion: the row comes first when the queue goes on. Changed: the
        // refresh that cancelled it has queued it again.
        if (_held)
            _queue.push_front({row, digest});
    } else if (!row->hasSession() && row->lastOutcome().kind != vcJobOutcome::Done) {
        row->setEstimate(digest, e);
    }
    startNext();
}
