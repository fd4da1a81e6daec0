#include "ODDocument.h"

#include "FormatRules.h"
#include "vcCommon.h"

#include <framewheel/SWMediaInfoManager.h>

#include <QCoreApplication>

const QStringList &ODDocument::categoryNames() {
    static const QStringList names = {"Apple Device", "Web Video", "Common Video", "Audio"};
    return names;
}

QString ODDocument::categoryTitle(const QString &category) {
    static const char *const titles[] = {
        QT_TRANSLATE_NOOP("ODDocument", "Apple Device"), QT_TRANSLATE_NOOP("ODDocument", "Web Video"),
        QT_TRANSLATE_NOOP("ODDocument", "Common Video"), QT_TRANSLATE_NOOP("ODDocument", "Audio")};
    for (const char *t : titles)
        if (category == QLatin1String(t))
            return QCoreApplication::translate("ODDocument", t);
    return category;
}

QString ODDocument::shownCaption(const QString &caption) {
    // Most captions are format or device names, the same in every language.
    static const char *const words[] = {QT_TRANSLATE_NOOP("FormatCaption", "Android Phone"),
                                        QT_TRANSLATE_NOOP("FormatCaption", "Android Tablet"),
                                        QT_TRANSLATE_NOOP("FormatCaption", "TV Box")};
    for (const char *w : words)
        if (caption == QLatin1String(w))
            return QCoreApplication::translate("FormatCaption", w);
    return caption;
}

ODDocument::ODDocument() {
    // The grid opens on the format chosen last time, which new items will take.
    const FormatKey key = _choice.key();
    if (const int type = int(categoryNames().indexOf(key.category())); !key.isEmpty() && type >= 0) {
        _selectMediaType = type;
        _mainKey = categoryNames().at(type);
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
    FormatKey key = item ? FormatRules::formatKeyOf(*item) : _choice.key();
    if (key.isEmpty())
        key = lastKey();
    if (key.category() != _mainKey)
        return QString();
    const FormatRecord *record = FormatCatalogue::shared().find(key);
    return shownCaption(record ? record->caption : key.catalogueKey());
}

void ODDocument::showFormatOf(const LXMediaInfo &item) {
    if (!item.bSourceIsVideo()) {
        gotoAudioType();
    } else {
        _canChangeCategory = true;
        _window->setCategoryChangeAllowed(true);
        const int type = int(categoryNames().indexOf(FormatRules::formatKeyOf(item).category()));
        if (type >= 0 && type != _selectMediaType) {
            _selectMediaType = type;
            _mainKey = categoryNames().at(type);
            _window->showCategory(_mainKey, _selectMediaType);
        }
    }
    _window->highlightFormatCell(lastFormatLabel());
}

void ODDocument::selectCellWithDictionaryWithSubKey(const QString &rawKey) {
    const FormatRecord *found = FormatCatalogue::shared().find(FormatKey(_mainKey, rawKey));
    if (!found)
        return;
    const FormatRecord &record = *found; // the catalogue lives as long as the program
    if (!validSelectCell()) {
        if (record.key != _choice.key())
            _choice.set(record.key, _choice.current().parameters.keptAcrossFormats());
        return;
    }
    bool changes = false;
    for (const vcTableCellViewPtr &row : _cellArray)
        changes = changes || FormatRules::formatKeyOf(*row->editMovie()) != record.key;
    if (!changes || _cellArray.size() < 2 || !vcCommon::showTipAgainWhenChangeOutputFmt()) {
        applyFormatToAll(record);
        return;
    }
    _window->askApplyFormatToAll(int64_t(_cellArray.size()), [this, &record](bool apply, bool dontAskAgain) {
        if (dontAskAgain)
            vcCommon::setShowTipAgainWhenChangeOutputFmt(false);
        if (apply) {
            applyFormatToAll(record);
        } else if (const LXMediaInfoPtr item = currentEditMovie()) {
            // Nothing changed: the grid shows the selected item's format again.
            showFormatOf(*item);
        }
    });
}

void ODDocument::applyFormatToAll(const FormatRecord &record) {
    // The same format again keeps what was edited for it; another one starts from its
    // defaults. Items that were not on it (added before, or restored) take the choice whole.
    const bool same = record.key == _choice.key();
    if (!same)
        _choice.set(record.key, _choice.current().parameters.keptAcrossFormats());
    const FormatRules::FormatChoices parameters = _choice.current().parameters;
    _compKeyStr = record.key.compKey();
    for (const vcTableCellViewPtr &row : _cellArray) {
        LXMediaInfo &item = *row->editMovie();
        const bool keep = same && FormatRules::formatKeyOf(item) == record.key && item.bLoaded();
        applyFormat(item, record, parameters, keep);
        _window->refreshRow(row);
    }
    _window->refreshParameterControls(currentEditMovie());
    // The saved list keeps every item's new format.
    saveHistoryFile();
}

void ODDocument::saveMediaInfo(const LXMediaInfo &edited) {
    const LXMediaFields e = edited.snapshot();
    for (const vcTableCellViewPtr &row : _cellArray) {
        row->editMovie()->update([&](LXMediaFields &f) {
            f.sampleRates = e.sampleRates;
            f.sampleRateIndex = e.sampleRateIndex;
            f.frameRates = e.frameRates;
            f.frameRateIndex = e.frameRateIndex;
            f.resolutions = e.resolutions;
            f.channels = e.channels;
            f.channelIndex = e.channelIndex;
            f.vCodecs = e.vCodecs;
            f.vCodecIndex = e.vCodecIndex;
            f.aCodecs = e.aCodecs;
            f.aCodecIndex = e.aCodecIndex;
            f.outputQuality = e.outputQuality;
            f.outputGoal = e.outputGoal;
            // Each item's own source size where the edit kept the source's.
            f.chooseResolution(e.resolutionIndex);
        });
        _window->refreshRow(row);
    }
    // New items start with these parameters, now and after a restart.
    _choice.set(FormatRules::formatKeyOf(edited), FormatRules::parametersOf(edited));
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
    vcFormatChoice::Choice choice;
    if (item.chosenKeyPath().isEmpty() && !item.bLoaded())
        choice = _choice.current();
    const FormatRecord *record = choice.key.isEmpty() ? nullptr : FormatCatalogue::shared().find(choice.key);
    if (!record || (!item.bSourceIsVideo() && !record->isAudio)) {
        // A sound file cannot take a video format: its own default format, with what of the
        // choice holds for any format.
        MyDocument::loadResolutionAVCodecs(item);
        FormatRules::applyParameters(item, choice.parameters.keptAcrossFormats());
        return;
    }
    item.setChosenKeyPath(record->key.keyPath());
    MyDocument::loadResolutionAVCodecs(item);
    FormatRules::applyFormatRecord(item, *record);
    FormatRules::applyParameters(item, choice.parameters);
}
