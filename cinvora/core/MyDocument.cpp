#include "MyDocument.h"

#include "vcCommon.h"

#include <foundation/Log.h>
#include <foundation/MainThread.h>
#include <foundation/NotificationCenter.h>
#include <foundation/Settings.h>
#include <foundation/Strings.h>
#include <framewheel/Codec.h>

#include <algorithm>
#include <climits>

using foundation::AlertButton;
using foundation::AlertRequest;
using foundation::Log;
using foundation::MainThread;

MyDocument::MyDocument() {
    auto &center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(&_notificationContext, QStringLiteral("addFilesKey"),
                       [this](const QString &, const QVariantMap &info) { concludeDragFile(info.value("addFiles").toStringList()); });
    // The window's keys (posted only while it is the active window).
    center.addObserver(&_notificationContext, QStringLiteral("globalPressUpKey"),
                       [this](const QString &, const QVariantMap &) { selectPrevious(); });
    center.addObserver(&_notificationContext, QStringLiteral("globalPressDownKey"),
                       [this](const QString &, const QVariantMap &) { selectNext(); });
    center.addObserver(&_notificationContext, QStringLiteral("globalPressDeleteKey"),
                       [this](const QString &, const QVariantMap &) { deleteSelectCell(); });
}

MyDocument::~MyDocument() { shutdown(); }

void MyDocument::shutdown() {
    if (_shutDown)
        return;
    _shutDown = true;
    _window = &_noWindow;
    foundation::NotificationCenter::defaultCenter().removeObserver(&_notificationContext);
    _bCancelAddFile.store(true);
    {
        std::lock_guard l(_session_lock);
        _closing = true;
    }
    _session_cond.notify_all();
    for (const auto *rows : {&_cellArray, &_convertingCellViews, &_removedRows})
        for (const vcTableCellViewPtr &row : *rows)
            row->cancelQuietly();
    _workers.close();
    _workers.joinAll();
    MainThread::drain();
    for (const auto *rows : {&_cellArray, &_convertingCellViews, &_removedRows})
        for (const vcTableCellViewPtr &row : *rows)
            row->setTbCellDelegate(nullptr);
    _convertingCellViews.clear();
    _removedRows.clear();
    SWUnInitCodec();
}

// ---- The gate ----

int64_t MyDocument::slotLimit() const {
    const int64_t o = _slotLimitOverride.load();
    return o > 0 ? o : vcCommon::maxConvertingCountSameTime();
}

void MyDocument::leaveLine(std::vector<const vcTableCellView *> &line, const vcTableCellView *job) {
    const auto it = std::find(line.begin(), line.end(), job);
    if (it != line.end())
        line.erase(it);
}

bool MyDocument::isFirstInLine(const vcTableCellView *job) const {
    const int64_t mine = job ? job->idx() : INT64_MAX;
    for (const auto *line : {&_gateWaiting, &_gateAnnounced})
        for (const vcTableCellView *other : *line)
            if (other != job && other->idx() < mine)
                return false;
    return true;
}

void MyDocument::startQueued(const std::vector<vcTableCellViewPtr> &rows) {
    {
        std::lock_guard l(_session_lock);
        for (const vcTableCellViewPtr &row : rows)
            _gateAnnounced.push_back(row.get());
    }
    for (const vcTableCellViewPtr &row : rows) {
        // Whatever the start does (queue, resume, or nothing), its place in the line goes
        // when it returns: a start that never reached the gate must not hold up the rows below.
        auto withdraw = [this, row] {
            {
                std::lock_guard l(_session_lock);
                leaveLine(_gateAnnounced, row.get());
            }
            _session_cond.notify_all();
        };
        if (!_workers.spawn([row, seen = row->pauseAllCount(), withdraw] {
                row->startConvert(seen);
                withdraw();
            }))
            withdraw();
    }
}

bool MyDocument::converSessionLock(vcTableCellView *job) {
    std::unique_lock l(_session_lock);
    leaveLine(_gateAnnounced, job);
    _gateWaiting.push_back(job);
    // A row that found every slot taken goes only on a returned slot (one row per slot),
    // even if the limit was raised meanwhile; a row that waited only for the rows above it
    // goes as soon as they have gone and a slot is free.
    bool needsReturnedSlot = false;
    while (!_closing) {
        if (_currentSessionCount < slotLimit() && isFirstInLine(job) && (!needsReturnedSlot || _returnedSlots > 0)) {
            if (needsReturnedSlot)
                --_returnedSlots;
            break;
        }
        if (_currentSessionCount >= slotLimit() && !needsReturnedSlot) {
            needsReturnedSlot = true;
            ++_slotWaiters;
        }
        ++_gateWaiters;
        _session_cond.wait(l);
        --_gateWaiters;
    }
    if (needsReturnedSlot)
        --_slotWaiters;
    _returnedSlots = std::min(_returnedSlots, _slotWaiters);
    leaveLine(_gateWaiting, job);
    if (_closing)
        return false;
    // With more than one free slot, the next row in line may go too.
    _session_cond.notify_all();
    ++_currentSessionCount;
    Log::line(QString::asprintf("_currentSessionCount++ = %ld [%ld]", static_cast<long>(_currentSessionCount),
                                static_cast<long>(job ? job->idx() : -1)));
    // The caller does its bookkeeping and then calls converSessionUnLock.
    l.release();
    return true;
}

void MyDocument::converSessionUnLock(vcTableCellView *) { _session_lock.unlock(); }

void MyDocument::convertSessionSignal(vcTableCellView *job) {
    std::lock_guard l(_session_lock);
    --_currentSessionCount;
    Log::line(QString::asprintf("_currentSessionCount-- = %ld [%ld]", static_cast<long>(_currentSessionCount),
                                static_cast<long>(job ? job->idx() : -1)));
    // Every waiter looks: the slot is for the highest row in line, not for whoever wakes.
    // A slot nobody waits for is not kept for later.
    _returnedSlots = std::min(_returnedSlots + 1, _slotWaiters);
    _session_cond.notify_all();
}

int64_t MyDocument::slotWaiters() const {
    std::lock_guard l(_session_lock);
    return _slotWaiters;
}

int64_t MyDocument::gateWaiters() const {
    std::lock_guard l(_session_lock);
    return _gateWaiters;
}

int64_t MyDocument::currentSessionCount() const {
    std::lock_guard l(_session_lock);
    return _currentSessionCount;
}

// ---- Batch operations ----

void MyDocument::convertAll() { setCancelAllKey(false); }

void MyDocument::setCancelAllKey(bool on) { foundation::Settings::setValue("cancelAll", on); }

void MyDocument::pauseAll() {
    auto skip = [](const vcTableCellViewPtr &row) {
        return row->finished() || (row->isPaused() && row->aleadyStart() && !row->isWaiting());
    };
    for (const vcTableCellViewPtr &row : _convertingCellViews)
        row->notePauseAll();
    for (const vcTableCellViewPtr &row : _convertingCellViews) {
        if (skip(row))
            continue;
        if (!row->aleadyStart())
            row->stopConvert();
        else if (row->isPaused())
            row->setPauseAgain(true);
    }
    for (const vcTableCellViewPtr &row : _convertingCellViews) {
        if (skip(row))
            continue;
        if (row->aleadyStart() && !row->isPaused())
            _workers.spawn([row] { row->pauseRunning(); });
    }
}

void MyDocument::cancelAll() {
    setCancelAllKey(true);
    for (const vcTableCellViewPtr &row : _convertingCellViews)
        row->stopConvert();
}

void MyDocument::convertFinished() {}

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

void MyDocument::convertSessionUpdateState(int state) {
    int64_t n = startCount();
    if (state == 0 || state == 3)
        ++n;
    else if (state == 1 || state == 2)
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
        AlertRequest q{foundation::tr_("CLOSEAPP"), QString(), vcCommon::noStr(), vcCommon::yesStr(), {},
                   AlertButton::Default};
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

void MyDocument::deleteItemAtIndex(int64_t index) {
    if (index < 0 || index >= numberOfRows())
        return;
    if (index != _currentIndex)
        selectItemAtIndex(index);
    deleteSelectCell();
}

void MyDocument::deleteSelectCell() {
    if (!validSelectCell())
        return;
    QString title;
    if (selectItemIsWaitingForConvert())
        title = foundation::tr_("WAITINGCONVERT");
    else if (selectItemIsConverting())
        title = foundation::tr_("ISCONVERTING");
    if (title.isEmpty()) {
        deleteCurrentItem();
        _window->setConvertAllEnabled(!_cellArray.empty());
        return;
    }
    const vcTableCellViewPtr asked = cellAt(_currentIndex);
    AlertRequest q{title, foundation::tr_("SURETODELETE"), vcCommon::noStr(), vcCommon::yesStr(), {},
                   AlertButton::Default};
    _window->askQuestion(q, [this, asked](AlertButton b) {
        // The list may have changed while the sheet was open: delete the row that was asked about.
        if (b == AlertButton::Alternate && cellAt(_currentIndex) == asked)
            deleteCurrentItem();
        _window->setConvertAllEnabled(!_cellArray.empty());
    });
}

void MyDocument::forgetRemovedRow(const vcTableCellViewPtr &row) {
    // A row that left the list converts nothing more: queued, converting or paused, its
    // session is cancelled and the engine removes what it had written. Its thread still
    // ends on its own (and is joined on shutdown); the batch, and so the close guard and
    // pause-all, no longer see it.
    if (row->hasSession()) {
        row->stopConvert();
        _removedRows.push_back(row);
    }
    const auto it = std::find(_convertingCellViews.begin(), _convertingCellViews.end(), row);
    if (it != _convertingCellViews.end())
        _convertingCellViews.erase(it);
}

void MyDocument::removeRowAt(int64_t index) {
    const vcTableCellViewPtr row = cellAt(index);
    if (!row)
        return;
    forgetRemovedRow(row);
    _fileArray.erase(_fileArray.begin() + index);
    _cellArray.erase(_cellArray.begin() + index);
    for (size_t i = static_cast<size_t>(index); i < _cellArray.size(); ++i)
        _cellArray[i]->setIdx(_cellArray[i]->idx() - 1);
    _window->rowRemoved(row);
}

void MyDocument::deleteCurrentItem() {
    const vcTableCellViewPtr row = cellAt(_currentIndex);
    if (!row)
        return;
    if (const LXMediaInfoPtr item = row->editMovie(); item && _usesHistory)
        vcCommon::removeFilePathFromBookmark(item->fileName());
    removeRowAt(_currentIndex);
    refreshIndexAndCount();
    int64_t next = _currentIndex;
    if (next >= numberOfRows())
        next = numberOfRows() - 1;
    _currentIndex = -1;
    selectItemAtIndex(next);
    saveHistoryFile();
    _window->updateEmptyListTip(_cellArray.empty());
    _window->reloadTable();
}

void MyDocument::deleteAllFromList(bool ask) {
    if (_cellArray.empty())
        return;
    if (!ask) {
        deleteAllFromList();
        return;
    }
    AlertRequest q{foundation::tr_("REMOVEALLITEM"), QString(), vcCommon::noStr(), vcCommon::yesStr(), {},
                   AlertButton::Default};
    _window->askQuestion(q, [this](AlertButton b) {
        if (b == AlertButton::Alternate)
            deleteAllFromList();
    });
}

void MyDocument::deleteAllFromList() {
    for (int64_t i = numberOfRows() - 1; i >= 0; --i) {
        const vcTableCellViewPtr row = _cellArray[static_cast<size_t>(i)];
        forgetRemovedRow(row);
        _fileArray.erase(_fileArray.begin() + i);
        _cellArray.erase(_cellArray.begin() + i);
        _window->rowRemoved(row);
    }
    _currentIndex = -1;
    saveHistoryFile();
    _window->reloadTable();
    _window->previewItem(nullptr, false);
    _window->updateEmptyListTip(true);
    _window->setConvertAllEnabled(false);
}

// ---- Selection ----

bool MyDocument::validSelectCell() const { return _currentIndex >= 0 && _currentIndex < numberOfRows(); }

LXMediaInfoPtr MyDocument::currentEditMovie() const {
    if (!validSelectCell())
        return nullptr;
    return _fileArray[static_cast<size_t>(_currentIndex)];
}

void MyDocument::selectItemAtIndex(int64_t index) {
    if (const vcTableCellViewPtr old = cellAt(_currentIndex))
        _window->rowSelected(old, false);
    _currentIndex = index;
    if (index < 0 || index >= numberOfRows()) {
        _window->previewItem(nullptr, false);
        return;
    }
    const LXMediaInfoPtr item = _fileArray[static_cast<size_t>(index)];
    _window->previewItem(item, _window->isPlaying());
    _window->refreshParameterControls(item);
    _window->rowSelected(cellAt(index), true);
}

void MyDocument::selectItemIsSelected(vcTableCellView *row, bool) {
    if (row && row->idx() != _currentIndex)
        selectItemAtIndex(row->idx());
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

QString MyDocument::lastKeyStr() const {
    std::lock_guard l(_keyLock);
    return _lastKeyStr;
}

void MyDocument::setLastKeyStr(const QString &key) {
    std::lock_guard l(_keyLock);
    _lastKeyStr = key;
}
