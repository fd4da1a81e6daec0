#include "MyDocument.h"

#include "vcCommon.h"

#include <foundation/Log.h>
#include <foundation/MainThread.h>
#include <foundation/NotificationCenter.h>
#include <foundation/Settings.h>
#include <foundation/Strings.h>
#include <framewheel/Codec.h>

#include <QTimer>

#include <algorithm>

using foundation::AlertButton;
using foundation::AlertRequest;
using foundation::Log;
using foundation::MainThread;

namespace {
constexpr int kHistorySaveDelayMs = 500;
} // namespace

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

void MyDocument::startQueued(const std::vector<vcTableCellViewPtr> &rows) { _scheduler.startAll(rows); }

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

void MyDocument::scheduleHistorySave() {
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
