#include "MyDocument.h"

#include "vcCommon.h"

#include <foundation/Log.h>
#include <foundation/MainThread.h>
#include <foundation/NotificationCenter.h>
#include <foundation/Settings.h>
#include <foundation/Strings.h>
#include <framewheel/Codec.h>
#include <framewheel/SWConvertSession.h>

#include <QTimer>

#include <algorithm>

using foundation::AlertButton;
using foundation::AlertRequest;
using foundation::Log;
using foundation::MainThread;

namespace {
constexpr int kHistorySaveDelayMs = 500;
// Edits come in bursts (a format for every row, a trim dragged): the estimates follow the last.
constexpr int kEstimatesDelayMs = 400;
} // namespace

MyDocument::MyDocument() {
    auto &center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(
        &_notificationContext, QStringLiteral("addFilesKey"),
        [this](const QString &, const QVariantMap &info) { concludeDragFile(info.value("addFiles").toStringList()); });
    // The window's keys (posted only while it is the active window).
    center.addObserver(&_notificationContext, QStringLiteral("globalPressUpKey"),
                       [this](const QString &, const QVariantMap &) { selectPrevious(); });
    center.addObserver(&_notificationContext, QStringLiteral("globalPressDownKey"),
                       [this](const QString &, const QVariantMap &) { selectNext(); });
    center.addObserver(&_notificationContext, QStringLiteral("globalPressDeleteKey"),
                       [this](const QString &, const QVariantMap &) { deleteSelectCell(); });
    center.addObserver(&_notificationContext, QStringLiteral("globalPressShiftUpKey"),
                       [this](const QString &, const QVariantMap &) { extendSelectionBy(-1); });
    center.addObserver(&_notificationContext, QStringLiteral("globalPressShiftDownKey"),
                       [this](const QString &, const QVariantMap &) { extendSelectionBy(1); });
    center.addObserver(&_notificationContext, QStringLiteral("globalPressSelectAllKey"),
                       [this](const QString &, const QVariantMap &) { selectAll(); });
    // The settings sheet's new limit, read there on the main thread: a raised one admits
    // waiting rows at once.
    center.addObserver(&_notificationContext, vcCommon::maxConvertingCountChangedKey(),
                       [this](const QString &, const QVariantMap &info) {
                           if (_slotLimitOverride.load() <= 0)
                               _scheduler.setLimit(info.value(QStringLiteral("count")).toLongLong());
                       });
    refreshSlotLimit();
}

MyDocument::~MyDocument() { shutdown(); }

void MyDocument::shutdown() {
    if (_shutDown)
        return;
    // A save that was waiting for more ends is made now: the rows that finished stay so.
    if (_historySaveQueued) {
        _historySaveQueued = false;
        saveHistoryFile();
    }
    _shutDown = true;
    _window = &_noWindow;
    foundation::NotificationCenter::defaultCenter().removeObserver(&_notificationContext);
    _bCancelAddFile.store(true);
    _bShutDownPictures.store(true);
    if (_estimates)
        _estimates->close();
    // Nothing is admitted any more and nothing waits; what converts or is paused is
    // cancelled and its thread ends on its own.
    _scheduler.close();
    for (const auto *rows : {&_cellArray, &_convertingCellViews})
        for (const vcTableCellViewPtr &row : *rows)
            row->cancelQuietly();
    _workers.close();
    _workers.joinAll();
    MainThread::drain();
    for (const auto *rows : {&_cellArray, &_convertingCellViews})
        for (const vcTableCellViewPtr &row : *rows)
            row->setTbCellDelegate(nullptr);
    _convertingCellViews.clear();
    SWUnInitCodec();
}

// ---- The queue ----

void MyDocument::setSlotLimitOverride(int64_t limit) {
    _slotLimitOverride.store(limit);
    refreshSlotLimit();
}

void MyDocument::refreshSlotLimit() {
    const int64_t o = _slotLimitOverride.load();
    _scheduler.setLimit(o > 0 ? o : vcCommon::maxConvertingCountSameTime());
}

int64_t MyDocument::slotLimit() const { return _scheduler.limit(); }

void MyDocument::startQueued(const std::vector<vcTableCellViewPtr> &rows) {
    // A conversion never waits for an estimate: the one under way stops now.
    if (_estimates && !rows.empty())
        _estimates->setHeld(true);
    _scheduler.startAll(rows);
}

int64_t MyDocument::slotWaiters() const { return _scheduler.snapshot().slotWaiters; }

int64_t MyDocument::gateWaiters() const { return _scheduler.snapshot().queued; }

int64_t MyDocument::currentSessionCount() const { return _scheduler.slotsTaken(); }

// ---- Batch operations ----

void MyDocument::convertAll() {
    setCancelAllKey(false);
    // Another process (the command line) may have changed the stored limit.
    refreshSlotLimit();
}

void MyDocument::setCancelAllKey(bool on) {
    // The jobs that end hear it from the scheduler, not from the settings file.
    _scheduler.setCancelAllInForce(on);
    // Writing the store flushes it to disk, tens of milliseconds on the main thread: only
    // when the stored flag differs (reading it is cheap).
    if (foundation::Settings::value("cancelAll").toBool() != on)
        foundation::Settings::setValue("cancelAll", on);
}

void MyDocument::pauseAll() {
    // Queued rows are stopped and rows waiting to resume stay paused before any converting
    // row pauses: a slot that pause gives back must not admit a row pause-all stops.
    for (const vcTableCellViewPtr &row : _convertingCellViews)
        if (row->state() == vcJobState::Waiting)
            _scheduler.pauseForPauseAll(row);
    for (const vcTableCellViewPtr &row : _convertingCellViews)
        if (row->state() != vcJobState::Waiting)
            _scheduler.pauseForPauseAll(row);
}

void MyDocument::cancelAll() {
    setCancelAllKey(true);
    for (const vcTableCellViewPtr &row : _convertingCellViews)
        row->stopConvert();
}

void MyDocument::convertFinished() { scheduleHistorySave(); }
void MyDocument::conversionWriting() { scheduleHistorySave(); }

void MyDocument::suspendAll() {
    setCancelAllKey(true);
    for (const vcTableCellViewPtr &row : _convertingCellViews)
        row->suspendQuietly();
}

void MyDocument::setMakesEstimates(bool on) {
    if (!on) {
        if (_estimates)
            _estimates->close();
        _estimates.reset();
        return;
    }
    if (!_estimates && !_shutDown)
        _estimates = std::make_unique<vcEstimates>(_workers);
    wantEstimates();
}

void MyDocument::wantEstimates() {
    if (!_estimates || _shutDown || _estimatesQueued)
        return;
    _estimatesQueued = true;
    QTimer::singleShot(kEstimatesDelayMs, &_notificationContext, [this] {
        _estimatesQueued = false;
        if (!_estimates || _shutDown)
            return;
        _estimates->setHeld(startCount() > 0 || currentSessionCount() > 0);
        _estimates->refresh(_cellArray);
    });
}

void MyDocument::scheduleHistorySave() {
    // Called as each conversion ends, and after edits: the estimates may go on.
    wantEstimates();
    if (!_usesHistory || _shutDown || _historySaveQueued)
        return;
    _historySaveQueued = true;
    QTimer::singleShot(kHistorySaveDelayMs, &_notificationContext, [this] {
        if (!_historySaveQueued)
            return;
        _historySaveQueued = false;
        saveHistoryFile();
    });
}

int64_t MyDocument::startCount() const {
    int64_t n = 0;
    for (const vcTableCellViewPtr &row : _cellArray) {
        if (row->aleadyStart() && !row->isPaused())
            ++n;
        if (row->isWaiting() && !row->isCancel())
            ++n;
    }
    return n;
}

void MyDocument::convertSessionUpdateState(vcJobEvent event) {
    // The count before the event: a start adds its row, a stop takes it away.
    int64_t n = startCount();
    if (event == vcJobEvent::Start) {
        ++n;
        if (_estimates)
            _estimates->setHeld(true);
    } else if (event == vcJobEvent::Stop)
        --n;
    Log::line(QString::asprintf("%d/%ld", static_cast<int>(n), static_cast<long>(_cellArray.size())));
    if (n == numberOfRows())
        _window->setConvertAllState(true);
    else if (n == 0)
        _window->setConvertAllState(false);
}

bool MyDocument::inConverting() const {
    // Only rows still in the list count: the batch loses each row that is removed.
    const auto &rows = _convertingCellViews.empty() ? _cellArray : _convertingCellViews;
    for (const vcTableCellViewPtr &row : rows)
        if (row->aleadyStart() && !row->isCancel())
            return true;
    return false;
}

bool MyDocument::selectItemIsConverting() const {
    const vcTableCellViewPtr row = cellAt(_currentIndex);
    return row && row->aleadyStart() && !row->isPaused();
}

bool MyDocument::selectItemIsWaitingForConvert() const {
    const vcTableCellViewPtr row = cellAt(_currentIndex);
    return row && row->isWaiting();
}

bool MyDocument::windowShouldClose() {
    if (inConverting()) {
        AlertRequest q{foundation::tr_("CLOSEAPP"), QString(), vcCommon::noStr(),
                       vcCommon::yesStr(),          {},        AlertButton::Default};
        _window->askQuestion(q, [this](AlertButton b) {
            if (b != AlertButton::Default) {
                cancelAll();
                _window->closeWindow();
            }
        });
        return false;
    }
    cancelAll();
    return true;
}

// ---- Deleting ----

vcTableCellViewPtr MyDocument::cellAt(int64_t index) const {
    if (index < 0 || index >= static_cast<int64_t>(_cellArray.size()))
        return nullptr;
    return _cellArray[static_cast<size_t>(index)];
}

LXMediaInfoPtr MyDocument::itemAt(int64_t index) const {
    const vcTableCellViewPtr row = cellAt(index);
    return row ? row->editMovie() : nullptr;
}

void MyDocument::deleteItemAtIndex(int64_t index) {
    const vcTableCellViewPtr row = cellAt(index);
    if (!row)
        return;
    // The delete control of a row that is part of a selection of several acts on all of them.
    if (isRowSelected(row.get()) && _selected.size() > 1) {
        deleteSelectCell();
        return;
    }
    if (index != _currentIndex || !isRowSelected(row.get()))
        selectItemAtIndex(index);
    deleteSelectCell();
}

void MyDocument::deleteSelectCell() {
    std::vector<vcTableCellViewPtr> rows = selectedRows();
    if (rows.empty() && validSelectCell())
        rows.push_back(cellAt(_currentIndex));
    if (rows.empty())
        return;
    deleteRowsAsking(rows);
}

void MyDocument::deleteRowsAsking(const std::vector<vcTableCellViewPtr> &rows) {
    // The question a single row would get, for the rows as a whole: converting outweighs
    // waiting; a paused or idle row is removed without one.
    bool converting = false, waiting = false;
    for (const vcTableCellViewPtr &row : rows) {
        waiting = waiting || row->isWaiting();
        converting = converting || (row->aleadyStart() && !row->isPaused());
    }
    QString title;
    if (waiting && !converting)
        title = foundation::tr_("WAITINGCONVERT");
    else if (converting)
        title = foundation::tr_("ISCONVERTING");
    if (title.isEmpty()) {
        removeRows(rows);
        _window->setConvertAllEnabled(!_cellArray.empty());
        return;
    }
    AlertRequest q{
        title, foundation::tr_("SURETODELETE"), vcCommon::noStr(), vcCommon::yesStr(), {}, AlertButton::Default};
    _window->askQuestion(q, [this, rows](AlertButton b) {
        // The list may have changed while the sheet was open: only the rows asked about go,
        // and only those still in it.
        if (b == AlertButton::Alternate) {
            std::vector<vcTableCellViewPtr> still;
            for (const vcTableCellViewPtr &row : rows)
                if (cellAt(row->idx()) == row)
                    still.push_back(row);
            removeRows(still);
        }
        _window->setConvertAllEnabled(!_cellArray.empty());
    });
}

void MyDocument::forgetRemovedRow(const vcTableCellViewPtr &row) {
    // A row that left the list converts nothing more: queued, converting or paused, its
    // session is cancelled and the engine removes what it had written. Its thread holds the
    // row until it has ended (the document joins it on shutdown); after that nothing does,
    // and the row goes with its item, probe and thumbnail. The batch, and so the close
    // guard and pause-all, no longer see it.
    if (row->hasSession())
        row->stopConvert();
    const auto it = std::find(_convertingCellViews.begin(), _convertingCellViews.end(), row);
    if (it != _convertingCellViews.end())
        _convertingCellViews.erase(it);
}

void MyDocument::removeRows(const std::vector<vcTableCellViewPtr> &rows) {
    std::unordered_set<const vcTableCellView *> gone;
    for (const vcTableCellViewPtr &row : rows)
        if (row && cellAt(row->idx()) == row)
            gone.insert(row.get());
    if (gone.empty())
        return;
    // Stopped as a single removal stops them, before the list changes under anything a stop
    // may reach; the batch loses them all in one pass below.
    for (const vcTableCellViewPtr &row : rows) {
        if (gone.count(row.get()) && row->hasSession())
            row->stopConvert();
        // Work an interrupted conversion of the row kept goes with the row.
        if (gone.count(row.get()) && !row->hasSession())
            if (const QString output = row->interruptedOutput(); !output.isEmpty())
                SWConvertSession::removeWork(output);
    }
    const vcTableCellViewPtr current = cellAt(_currentIndex);
    QStringList bookmarks;
    std::vector<vcTableCellViewPtr> removed;
    removed.reserve(gone.size());
    int64_t firstGone = -1;
    size_t kept = 0;
    for (size_t i = 0; i < _cellArray.size(); ++i) {
        const vcTableCellViewPtr row = _cellArray[i];
        if (!gone.count(row.get())) {
            _cellArray[kept] = row;
            row->setIdx(static_cast<int64_t>(kept));
            ++kept;
            continue;
        }
        if (firstGone < 0)
            firstGone = static_cast<int64_t>(i);
        if (const LXMediaInfoPtr item = row->editMovie(); item && _usesHistory)
            bookmarks << item->fileName();
        _selected.erase(row.get());
        removed.push_back(row);
    }
    _cellArray.resize(kept);
    std::erase_if(_convertingCellViews, [&](const vcTableCellViewPtr &row) { return gone.count(row.get()) != 0; });
    vcCommon::removeFilePathsFromBookmark(bookmarks);
    refreshIndexAndCount();
    _window->rowsRemoved(removed);
    if (current && !gone.count(current.get())) {
        // The current item stayed: it still is, at its new place.
        _currentIndex = current->idx();
        _anchorIndex = _currentIndex;
    } else {
        // The row that moved into the first gap takes over, else the new last row.
        clearSelection();
        _currentIndex = -1;
        selectItemAtIndex(std::min(firstGone, numberOfRows() - 1));
    }
    saveHistoryFile();
    _window->updateEmptyListTip(_cellArray.empty());
    _window->reloadTable();
}

void MyDocument::deleteCurrentItem() {
    if (const vcTableCellViewPtr row = cellAt(_currentIndex))
        removeRows({row});
}

void MyDocument::deleteAllFromList(bool ask) {
    if (_cellArray.empty())
        return;
    if (!ask) {
        deleteAllFromList();
        return;
    }
    AlertRequest q{
        foundation::tr_("REMOVEALLITEM"), QString(), vcCommon::noStr(), vcCommon::yesStr(), {}, AlertButton::Default};
    _window->askQuestion(q, [this](AlertButton b) {
        if (b == AlertButton::Alternate)
            deleteAllFromList();
    });
}

void MyDocument::deleteAllFromList() {
    for (int64_t i = numberOfRows() - 1; i >= 0; --i) {
        const vcTableCellViewPtr row = _cellArray[static_cast<size_t>(i)];
        forgetRemovedRow(row);
        _cellArray.erase(_cellArray.begin() + i);
        _window->rowRemoved(row);
    }
    _selected.clear();
    _currentIndex = -1;
    _anchorIndex = -1;
    saveHistoryFile();
    _window->reloadTable();
    _window->previewItem(nullptr, false);
    _window->updateEmptyListTip(true);
    _window->setConvertAllEnabled(false);
}

// ---- Selection ----

bool MyDocument::validSelectCell() const { return _currentIndex >= 0 && _currentIndex < numberOfRows(); }

LXMediaInfoPtr MyDocument::currentEditMovie() const { return itemAt(_currentIndex); }

std::vector<vcTableCellViewPtr> MyDocument::selectedRows() const {
    std::vector<vcTableCellViewPtr> rows;
    if (_selected.empty())
        return rows;
    rows.reserve(_selected.size());
    for (const vcTableCellViewPtr &row : _cellArray)
        if (_selected.count(row.get()))
            rows.push_back(row);
    return rows;
}

void MyDocument::setRowSelected(const vcTableCellViewPtr &row, bool selected) {
    if (!row || isRowSelected(row.get()) == selected)
        return;
    if (selected)
        _selected.insert(row.get());
    else
        _selected.erase(row.get());
    _window->rowSelected(row, selected);
}

void MyDocument::clearSelection() {
    const std::vector<vcTableCellViewPtr> rows = selectedRows();
    for (const vcTableCellViewPtr &row : rows)
        setRowSelected(row, false);
    _selected.clear();
}

void MyDocument::selectRange(int64_t first, int64_t last) {
    if (first > last)
        std::swap(first, last);
    first = std::max<int64_t>(first, 0);
    last = std::min(last, numberOfRows() - 1);
    for (const vcTableCellViewPtr &row : selectedRows())
        if (row->idx() < first || row->idx() > last)
            setRowSelected(row, false);
    for (int64_t i = first; i <= last; ++i)
        setRowSelected(cellAt(i), true);
}

void MyDocument::setCurrentItem(int64_t index) {
    _currentIndex = index;
    if (index < 0 || index >= numberOfRows()) {
        _currentIndex = -1;
        _window->previewItem(nullptr, false);
        return;
    }
    const LXMediaInfoPtr item = itemAt(index);
    _window->previewItem(item, _window->isPlaying());
    _window->refreshParameterControls(item);
}

void MyDocument::selectItemAtIndex(int64_t index) {
    const vcTableCellViewPtr row = cellAt(index);
    for (const vcTableCellViewPtr &other : selectedRows())
        if (other != row)
            setRowSelected(other, false);
    setRowSelected(row, true);
    _anchorIndex = row ? index : -1;
    setCurrentItem(row ? index : -1);
}

void MyDocument::selectItemIsSelected(vcTableCellView *row, bool) {
    if (row && (row->idx() != _currentIndex || _selected.size() != 1))
        selectItemAtIndex(row->idx());
}

void MyDocument::selectRowWithMode(vcTableCellView *row, vcSelectMode mode) {
    if (row && cellAt(row->idx()).get() == row)
        selectIndexWithMode(row->idx(), mode);
}

void MyDocument::selectIndexWithMode(int64_t index, vcSelectMode mode) {
    const vcTableCellViewPtr row = cellAt(index);
    if (!row)
        return;
    switch (mode) {
    case vcSelectMode::Only:
        if (index != _currentIndex || _selected.size() != 1 || !isRowSelected(row.get()))
            selectItemAtIndex(index);
        return;
    case vcSelectMode::Toggle:
        _anchorIndex = index;
        if (!isRowSelected(row.get())) {
            setRowSelected(row, true);
            setCurrentItem(index);
            return;
        }
        setRowSelected(row, false);
        if (index == _currentIndex) {
            // The current item stays among the selected: the nearest one, else none.
            int64_t nearest = -1;
            for (const vcTableCellViewPtr &other : selectedRows())
                if (nearest < 0 || std::abs(other->idx() - index) < std::abs(nearest - index))
                    nearest = other->idx();
            setCurrentItem(nearest);
        }
        return;
    case vcSelectMode::Extend: {
        const int64_t anchor = cellAt(_anchorIndex) ? _anchorIndex : validSelectCell() ? _currentIndex : index;
        _anchorIndex = anchor;
        selectRange(anchor, index);
        if (index != _currentIndex)
            setCurrentItem(index);
        return;
    }
    }
}

void MyDocument::selectAll() {
    if (_cellArray.empty())
        return;
    for (const vcTableCellViewPtr &row : _cellArray)
        setRowSelected(row, true);
    if (!validSelectCell()) {
        _anchorIndex = 0;
        setCurrentItem(0);
    }
}

void MyDocument::extendSelectionBy(int step) {
    const int64_t n = numberOfRows();
    if (n == 0)
        return;
    if (!validSelectCell()) {
        selectItemAtIndex(0);
    } else {
        const int64_t target = std::clamp<int64_t>(_currentIndex + step, 0, n - 1);
        selectIndexWithMode(target, vcSelectMode::Extend);
    }
    _window->scrollToRow(_currentIndex);
}

void MyDocument::doubleClickItem(int64_t index) {
    // A row's double click arrives after its first click has already selected it: playing
    // only for a change of selection would never play. The row plays unless it already does.
    if (index < 0 || index >= numberOfRows())
        return;
    if (index != _currentIndex)
        selectItemAtIndex(index);
    if (!_window->isPlaying())
        _window->previewItem(currentEditMovie(), true);
}

LXMediaInfoPtr MyDocument::fetchEditMovieAtIndex(int64_t index) {
    if (index < 0 || index >= numberOfRows())
        return nullptr;
    selectItemAtIndex(index);
    _window->scrollToRow(index);
    return currentEditMovie();
}

void MyDocument::selectPrevious() {
    const int64_t n = numberOfRows();
    if (n == 0)
        return;
    const int64_t cur = _currentIndex < 0 ? 0 : _currentIndex;
    selectItemAtIndex((n + cur - 1) % n);
    _window->scrollToRow(_currentIndex);
}

void MyDocument::selectNext() {
    const int64_t n = numberOfRows();
    if (n == 0)
        return;
    selectItemAtIndex((_currentIndex + 1) % n);
    _window->scrollToRow(_currentIndex);
}

FormatKey MyDocument::lastKey() const {
    std::lock_guard l(_keyLock);
    return _lastKey;
}
