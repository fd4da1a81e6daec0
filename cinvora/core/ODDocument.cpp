#include "ODDocument.h"

#include "FormatRules.h"
#include "vcCommon.h"

#include <framewheel/SWMediaInfoManager.h>

#include <QCoreApplication>

const QStringList &ODDocument::categoryNames() {
    static const QStringList names = {"Apple Device", "Web Video", "Common Video", "Audio"};
    return names;
}

namespace {
QString categoryOf(const QString &keyPath) { return keyPath.section('.', 0, 0); }
QString formatKeyOf(const QString &keyPath) { return keyPath.section('.', 1); }
QVariantMap recordAt(const QString &keyPath) {
    return vcCommon::findDictByKey(keyPath, vcCommon::outputFormatDictFrom(MyDocument::outputFmtFileName())).toMap();
}
} // namespace

ODDocument::ODDocument() {
    // The grid opens on the format chosen last time, which new items will take.
    const QString keyPath = vcCommon::lastOutputKeyPath();
    if (!keyPath.isEmpty() && !recordAt(keyPath).isEmpty()) {
        _chosenKeyPath = keyPath;
        _chosenParameters = vcCommon::lastOutputParameters();
        const int type = int(categoryNames().indexOf(categoryOf(keyPath)));
        if (type >= 0) {
            _selectMediaType = type;
            _mainKey = categoryNames().at(type);
        }
    }
}

ODDocument::~ODDocument() {
    // Threads may still report to the document: stop them while it is whole.
    shutdown();
}

void ODDocument::convertAll() {
    MyDocument::convertAll();
    // Paused rows resume and rows not yet done start; a row whose last conversion succeeded
    // and still stands (same source, trim, tracks, format and parameters, its file still
    // there) is left alone, so that a pause and a convert never make numbered copies.
    _convertingCellViews.clear();
    for (const vcTableCellViewPtr &row : _cellArray)
        if (!row->isUpToDate())
            _convertingCellViews.push_back(row);
    startQueued(_convertingCellViews);
    if (!_convertingCellViews.empty())
        setBatchRunning(true);
}

void ODDocument::cancelAll() {
    MyDocument::cancelAll();
    setBatchRunning(false);
}

void ODDocument::setBatchRunning(bool running) {
    if (running == _batchRunning)
        return;
    _batchRunning = running;
    _window->conversionsRunning(running);
}

double ODDocument::batchProgress() const {
    if (_convertingCellViews.empty())
        return 0.0;
    double sum = 0.0;
    for (const vcTableCellViewPtr &row : _convertingCellViews)
        sum += row->controls().outcome.kind != vcJobOutcome::None ? 1.0 : row->controls().progress;
    return sum / double(_convertingCellViews.size());
}

vcBatchTally ODDocument::batchTally() const {
    vcBatchTally t;
    for (const vcTableCellViewPtr &row : _convertingCellViews) {
        switch (row->controls().outcome.kind) {
        case vcJobOutcome::Done:
            ++t.done;
            break;
        case vcJobOutcome::Failed:
            ++t.failed;
            break;
        case vcJobOutcome::Cancelled:
            ++t.cancelled;
            break;
        case vcJobOutcome::None:
            break;
        }
    }
    return t;
}

void ODDocument::convertAllInWR() {
    if (_cellArray.empty())
        return;
    if (_wrBConverted) {
        pauseAll();
        _window->setConvertToggleStopLook(false);
        _wrBConverted = false;
        setBatchRunning(false);
    } else {
        convertAll();
        // Nothing to do when every row is done and unchanged: the toggle stays as it is, and
        // the user hears why the press did nothing.
        if (_convertingCellViews.empty()) {
            const foundation::AlertRequest note{
                QCoreApplication::translate("ODDocument", "Everything is already converted"),
                QCoreApplication::translate("ODDocument", "Every item has been converted and has not changed since. "
                                                          "Change an item's format or settings to convert it again."),
                vcCommon::okStr(),
                {},
                {},
                {}};
            _window->askQuestion(note, [](foundation::AlertButton) {});
            return;
        }
        _window->setConvertToggleStopLook(true);
        _wrBConverted = true;
    }
}

void ODDocument::convertFinished() {
    if (isShutDown())
        return;
    scheduleHistorySave();
    if (currentSessionCount() == 0) {
        _wrBConverted = false;
        _window->setConvertToggleStopLook(false);
    }
    if (!_batchRunning || currentSessionCount() > 0)
        return;
    // A row given the slot just returned may not have taken it yet: the batch goes on.
    for (const vcTableCellViewPtr &row : _convertingCellViews)
        if (row->isWaiting() && !row->isCancel())
            return;
    setBatchRunning(false);
    _window->batchEnded(batchTally());
}

void ODDocument::categoryButtonUp(int mediaType) {
    if (!_canChangeCategory || mediaType < 0 || mediaType >= categoryNames().size())
        return;
    _selectMediaType = mediaType;
    _mainKey = categoryNames().at(mediaType);
    _window->showCategory(_mainKey, _selectMediaType);
    _window->highlightFormatCell(lastFormatLabel());
}

void ODDocument::gotoAudioType() {
    // Listing a category rebuilds the grid: only when it shows another one.
    const bool shown = _selectMediaType == 3 && _mainKey == categoryNames().at(3);
    _selectMediaType = 3;
    _mainKey = categoryNames().at(3);
    if (!shown)
        _window->showCategory(_mainKey, _selectMediaType);
    _canChangeCategory = false;
    _window->setCategoryChangeAllowed(false);
}

QString ODDocument::lastFormatLabel() const {
    const LXMediaInfoPtr item = currentEditMovie();
    QString keyPath = item ? keyPathOf(*item) : chosenKeyPath();
    if (keyPath.isEmpty())
        keyPath = lastKeyStr();
    if (categoryOf(keyPath) != _mainKey)
        return QString();
    const QVariantMap record = recordAt(keyPath);
    // The grid captions a format with its "keyName", else its whole key.
    const QString name = record.value("keyName").toString();
    return !name.isEmpty() ? name : formatKeyOf(keyPath);
}

QString ODDocument::keyPathOf(const LXMediaInfo &item) {
    const QString chosen = item.chosenKeyPath();
    return chosen.isEmpty() ? item.baseOutputType() + "." + item.outputDesc() : chosen;
}

QString ODDocument::chosenKeyPath() const {
    std::lock_guard l(_choiceLock);
    return _chosenKeyPath;
}

QVariantMap ODDocument::chosenParameters() const {
    std::lock_guard l(_choiceLock);
    return _chosenParameters;
}

void ODDocument::setChoice(const QString &keyPath, const QVariantMap &parameters) {
    {
        std::lock_guard l(_choiceLock);
        _chosenKeyPath = keyPath;
        _chosenParameters = parameters;
    }
    vcCommon::setLastOutputChoice(keyPath, parameters);
}

void ODDocument::showFormatOf(const LXMediaInfo &item) {
    if (!item.bSourceIsVideo()) {
        gotoAudioType();
    } else {
        _canChangeCategory = true;
        _window->setCategoryChangeAllowed(true);
        const int type = int(categoryNames().indexOf(categoryOf(keyPathOf(item))));
        if (type >= 0 && type != _selectMediaType) {
            _selectMediaType = type;
            _mainKey = categoryNames().at(type);
            _window->showCategory(_mainKey, _selectMediaType);
        }
    }
    _window->highlightFormatCell(lastFormatLabel());
}

void ODDocument::selectCellWithDictionaryWithSubKey(const QVariantMap &record, const QString &rawKey) {
    const QString keyPath = _mainKey + "." + rawKey;
    if (!validSelectCell()) {
        if (keyPath != chosenKeyPath())
            setChoice(keyPath, {});
        return;
    }
    bool changes = false;
    for (const vcTableCellViewPtr &row : _cellArray)
        changes = changes || keyPathOf(*row->editMovie()) != keyPath;
    const QString compKey = _mainKey + rawKey;
    if (!changes || _cellArray.size() < 2 || !vcCommon::showTipAgainWhenChangeOutputFmt()) {
        applyFormatToAll(record, keyPath, compKey);
        return;
    }
    _window->askApplyFormatToAll(int64_t(_cellArray.size()),
                                 [this, record, keyPath, compKey](bool apply, bool dontAskAgain) {
                                     if (dontAskAgain)
                                         vcCommon::setShowTipAgainWhenChangeOutputFmt(false);
                                     if (apply) {
                                         applyFormatToAll(record, keyPath, compKey);
                                     } else if (const LXMediaInfoPtr item = currentEditMovie()) {
                                         // Nothing changed: the grid shows the selected item's format again.
                                         showFormatOf(*item);
                                     }
                                 });
}

void ODDocument::applyFormatToAll(const QVariantMap &record, const QString &keyPath, const QString &compKey) {
    // The same format again keeps what was edited for it; another one starts from its
    // defaults. Items that were not on it (added before, or restored) take the choice whole.
    const bool same = keyPath == chosenKeyPath();
    if (!same)
        setChoice(keyPath, {});
    const QVariantMap parameters = chosenParameters();
    _compKeyStr = compKey;
    for (const vcTableCellViewPtr &row : _cellArray) {
        LXMediaInfo &item = *row->editMovie();
        const bool keep = same && keyPathOf(item) == keyPath && item.bLoaded();
        applyFormat(item, keyPath, record, parameters, keep);
        _window->refreshRow(row);
    }
    _window->refreshParameterControls(currentEditMovie());
    // The saved list keeps every item's new format.
    saveHistoryFile();
}

void ODDocument::saveMediaInfo(const LXMediaInfo &edited) {
    const LXMediaFields e = edited.snapshot();
    for (const vcTableCellViewPtr &row : _cellArray) {
        LXMediaInfo &item = *row->editMovie();
        const auto probe = item.mediaInfoManager();
        item.update([&](LXMediaFields &f) {
            f.sampleRates = e.sampleRates;
            f.sampleRateIndex = e.sampleRateIndex;
            f.frameRates = e.frameRates;
            f.frameRateIndex = e.frameRateIndex;
            f.resolutions = e.resolutions;
            f.resolutionIndex = e.resolutionIndex;
            f.channels = e.channels;
            f.channelIndex = e.channelIndex;
            f.vCodecs = e.vCodecs;
            f.vCodecIndex = e.vCodecIndex;
            f.aCodecs = e.aCodecs;
            f.aCodecIndex = e.aCodecIndex;
            const int64_t ri = e.resolutionIndex;
            if (ri < 0 || ri >= e.resolutions.size()) {
                if (probe) {
                    f.width = probe->width();
                    f.height = probe->height();
                }
            } else {
                FormatRules::parseFrameSize(e.resolutions.at(ri), f.width, f.height);
            }
        });
        _window->refreshRow(row);
    }
    // New items start with these parameters, now and after a restart.
    setChoice(keyPathOf(edited), FormatRules::parametersOf(edited));
    saveHistoryFile();
}

void ODDocument::setCurrentItem(int64_t index) {
    MyDocument::setCurrentItem(index);
    const LXMediaInfoPtr item = currentEditMovie();
    if (!item)
        return;
    _window->seekPlayerToTrimStart();
    showFormatOf(*item);
}

void ODDocument::loadResolutionAVCodecs(LXMediaInfo &item) {
    QString keyPath;
    QVariantMap parameters;
    if (item.chosenKeyPath().isEmpty() && !item.bLoaded()) {
        std::lock_guard l(_choiceLock);
        keyPath = _chosenKeyPath;
        parameters = _chosenParameters;
    }
    const QVariantMap record = keyPath.isEmpty() ? QVariantMap() : recordAt(keyPath);
    if (record.isEmpty() || (!item.bSourceIsVideo() && !record.value("IsAudio", false).toBool())) {
        MyDocument::loadResolutionAVCodecs(item);
        return;
    }
    item.setChosenKeyPath(keyPath);
    MyDocument::loadResolutionAVCodecs(item);
    FormatRules::applyFormatRecord(item, record);
    FormatRules::applyParameters(item, parameters);
}
