#include "vcEstimates.h"

#include <foundation/MainThread.h>

using foundation::MainThread;

vcEstimates::vcEstimates(WorkerGroup &workers) : _workers(workers) {}

vcEstimates::~vcEstimates() {
    close();
    *_alive = false;
}

void vcEstimates::refresh(const std::vector<vcTableCellViewPtr> &rows) {
    if (_closed)
        return;
    std::deque<Pending> queue;
    for (const vcTableCellViewPtr &row : rows) {
        // A converted row says what it measured instead; a converting one shows its progress.
        if (row->lastOutcome().kind == vcJobOutcome::Done || row->hasSession())
            continue;
        const QString digest = vcTableCellView::fingerprintDigest(row->currentFingerprint());
        if (digest.isEmpty() || digest == row->estimateDigest())
            continue;
        row->setEstimate(QString(), {});
        if (row != _runningRow.lock() || digest != _runningDigest)
            queue.push_back({row, digest});
    }
    _queue = std::move(queue);
    // The estimate under way was for settings the row no longer has.
    if (const vcTableCellViewPtr row = _runningRow.lock(); _session && row) {
        const QString now = vcTableCellView::fingerprintDigest(row->currentFingerprint());
        if (now != _runningDigest)
            _session->cancel();
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
    if (cancelled) {
        // Held for a conversion: the row comes first when the queue goes on. Changed: the
        // refresh that cancelled it has queued it again.
        if (_held && !_closed)
            _queue.push_front({row, digest});
    } else if (!row->hasSession() && row->lastOutcome().kind != vcJobOutcome::Done) {
        row->setEstimate(digest, e);
    }
    startNext();
}
