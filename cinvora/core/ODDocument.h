#pragma once
// The working document: the convert toggle, convert-all, and the format browser's state
// (category buttons, remembered format, the choice that applies a format to every job).
#include "MyDocument.h"

class ODDocument : public MyDocument {
public:
    static const QStringList &categoryNames(); // "Apple Device", "Web Video", "Common Video", "Audio"

    ODDocument();
    ~ODDocument() override;

    void convertAll() override;
    // The toggle: converts all, or pauses all when a conversion was started by it.
    void convertAllInWR();
    void convertFinished() override;
    bool wrBConverted() const { return _wrBConverted; }

    // Format browser.
    int selectMediaType() const { return _selectMediaType; }
    QString mainKey() const { return _mainKey; }
    QString compKeyStr() const { return _compKeyStr; }
    bool canChangeCategory() const { return _canChangeCategory; }
    // A category button was pressed (0..3); ignored while the category is locked.
    void categoryButtonUp(int mediaType);
    void gotoAudioType();
    void locateToAudio();
    // The label under which the remembered format shows in the grid.
    QString lastFormatLabel() const;
    // The grid's click: applies the format record to every job (nothing without a selection).
    void selectCellWithDictionaryWithSubKey(const QVariantMap &record, const QString &rawKey);
    // The parameter editor's result: the edited copy's lists and choices go to every job.
    void saveMediaInfo(const LXMediaInfo &edited);

    void selectItemAtIndex(int64_t index) override;

private:
    bool _wrBConverted = false;
    int _selectMediaType = 0;
    QString _mainKey = QStringLiteral("Apple Device");
    QString _compKeyStr;
    bool _canChangeCategory = true;
};
