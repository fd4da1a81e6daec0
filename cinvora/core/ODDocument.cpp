#include "ODDocument.h"

#include "FormatRules.h"
#include "vcCommon.h"

#include <framewheel/SWMediaInfoManager.h>

const QStringList &ODDocument::categoryNames() {
    static const QStringList names = {"Apple Device", "Web Video", "Common Video", "Audio"};
    return names;
}

ODDocument::ODDocument() = default;

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
    for (const vcTableCellViewPtr &row : _convertingCellViews)
        row->turnToConvertingView();
    startQueued(_convertingCellViews);
}

void ODDocument::convertAllInWR() {
    if (_cellArray.empty())
        return;
    if (_wrBConverted) {
        pauseAll();
        _window->setConvertToggleStopLook(false);
        _wrBConverted = false;
    } else {
        convertAll();
        // Nothing to do when every row is done and unchanged: the toggle stays as it is.
        if (_convertingCellViews.empty())
            return;
        _window->setConvertToggleStopLook(true);
        _wrBConverted = true;
    }
}

void ODDocument::convertFinished() {
    if (isShutDown())
        return;
    if (currentSessionCount() == 0) {
        _wrBConverted = false;
        _window->setConvertToggleStopLook(false);
    }
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
    _selectMediaType = 3;
    _mainKey = categoryNames().at(3);
    _window->showCategory(_mainKey, _selectMediaType);
    _canChangeCategory = false;
    _window->setCategoryChangeAllowed(false);
}

void ODDocument::locateToAudio() {
    if (!_fileArray.empty() && !_fileArray.front()->bSourceIsVideo())
        gotoAudioType();
}

QString ODDocument::lastFormatLabel() const {
    const QString key = lastKeyStr();
    const qsizetype dot = key.indexOf('.');
    return dot < 0 ? key : key.mid(dot + 1);
}

void ODDocument::selectCellWithDictionaryWithSubKey(const QVariantMap &record, const QString &rawKey) {
    if (!validSelectCell())
        return;
    const QString key = _mainKey + rawKey;
    const QString keyPath = _mainKey + "." + rawKey;
    if (key == _compKeyStr) {
        for (size_t i = 0; i < _fileArray.size(); ++i) {
            FormatRules::applyFormatRecord(*_fileArray[i], record);
            _fileArray[i]->setChosenKeyPath(keyPath);
            _window->refreshRow(_cellArray[i]);
        }
        return;
    }
    _compKeyStr = key;
    for (size_t i = 0; i < _fileArray.size(); ++i) {
        LXMediaInfo &item = *_fileArray[i];
        loadResolutionAVCodecsWithKeyIsDefault(item, keyPath, true);
        FormatRules::applyFormatRecord(item, record);
        item.setChosenKeyPath(keyPath);
        if (const auto probe = item.mediaInfoManager()) {
            item.setWidth(probe->width());
            item.setHeight(probe->height());
        }
        _window->refreshRow(_cellArray[i]);
    }
    _window->refreshParameterControls(currentEditMovie());
}

void ODDocument::saveMediaInfo(const LXMediaInfo &edited) {
    const QStringList sizes = edited.resolutions();
    const int64_t ri = edited.resolutionIndex();
    for (size_t i = 0; i < _fileArray.size(); ++i) {
        LXMediaInfo &item = *_fileArray[i];
        item.setSampleRates(edited.sampleRates());
        item.setSampleRateIndex(edited.sampleRateIndex());
        item.setFrameRates(edited.frameRates());
        item.setFrameRateIndex(edited.frameRateIndex());
        item.setResolutions(sizes);
        item.setResolutionIndex(ri);
        item.setChannels(edited.channels());
        item.setChannelIndex(edited.channelIndex());
        item.setVCodecs(edited.vCodecs());
        item.setVCodecIndex(edited.vCodecIndex());
        item.setACodecs(edited.aCodecs());
        item.setACodecIndex(edited.aCodecIndex());
        if (ri < 0 || ri >= sizes.size()) {
            if (const auto probe = item.mediaInfoManager()) {
                item.setWidth(probe->width());
                item.setHeight(probe->height());
            }
        } else {
            uint64_t w = item.width(), h = item.height();
            if (FormatRules::parseFrameSize(sizes.at(ri), w, h)) {
                item.setWidth(w);
                item.setHeight(h);
            }
        }
        _window->refreshRow(_cellArray[i]);
    }
}

void ODDocument::selectItemAtIndex(int64_t index) {
    MyDocument::selectItemAtIndex(index);
    const LXMediaInfoPtr item = currentEditMovie();
    if (!item)
        return;
    _window->seekPlayerToTrimStart();
    if (!item->bSourceIsVideo()) {
        gotoAudioType();
    } else {
        _canChangeCategory = true;
        _window->setCategoryChangeAllowed(true);
    }
}
