#pragma once
// The working document: the convert toggle, convert-all, and the format browser's state
// (category buttons, remembered format, the choice that applies a format to every job).
#include "MyDocument.h"
#include "vcFormatChoice.h"

class ODDocument : public MyDocument {
public:
    static const QStringList &categoryNames(); // "Apple Device", "Web Video", "Common Video", "Audio"
    // What the window shows for a category or a format's caption: the catalogue's names are
    // keys (in the saved list, the settings and --to), translated only for display.
    static QString categoryTitle(const QString &category);
    static QString shownCaption(const QString &caption);

    ODDocument();
    ~ODDocument() override;

    void convertAll() override;
    // The toggle: converts all, or pauses all when a conversion was started by it.
    void convertAllInWR();
    void convertFinished() override;
    void cancelAll() override;
    // Whether a convert-all is under way (not paused, not every row ended).
    bool batchRunning() const { return _batchRunning; }
    // The batch's overall progress, 0..1: an ended row counts whole, a running one by its
    // bar (0 without a batch).
    double batchProgress() const;
    // How the batch's rows ended so far.
    vcBatchTally batchTally() const;
    bool wrBConverted() const { return _wrBConverted; }
    void setWrBConverted(bool on) { _wrBConverted = on; }

    // Format browser.
    int selectMediaType() const { return _selectMediaType; }
    QString mainKey() const { return _mainKey; }
    QString compKeyStr() const { return _compKeyStr; }
    bool canChangeCategory() const { return _canChangeCategory; }
    // A category button was pressed (0..3); ignored while the category is locked.
    void categoryButtonUp(int mediaType);
    void gotoAudioType();
    // The label of the format the grid should highlight (the selected item's, else the
    // current choice): empty when that format is not in the category shown.
    QString lastFormatLabel() const;
    // The grid's click on the format with this catalogue key in the category shown: applies
    // the format to every job, asking first (when the user wants to be asked) if it changes
    // the format of two or more. Without a selection it changes no job but becomes the
    // choice that new items start with.
    void selectCellWithDictionaryWithSubKey(const QString &rawKey);
    // The parameter editor's result: the edited copy's lists and choices go to every job.
    void saveMediaInfo(const LXMediaInfo &edited);

    // The choice that new items start with (kept in the settings).
    const vcFormatChoice &formatChoice() const { return _choice; }
    // The grid follows the item: its category (Audio, locked, for a source without video)
    // and its format's cell highlighted.
    void showFormatOf(const LXMediaInfo &item);

    void setCurrentItem(int64_t index) override;
    // A new item takes the current choice when it fits the item (any format for a source
    // with video, an audio format for one without); otherwise its default format.
    void loadResolutionAVCodecs(LXMediaInfo &item) override;

private:
    void applyFormatToAll(const FormatRecord &record);

    void setBatchRunning(bool running);

    bool _wrBConverted = false;
    bool _batchRunning = false;
    int _selectMediaType = 0;
    QString _mainKey = LXDefaultFormat::forSource(true).baseType;
    QString _compKeyStr;
    bool _canChangeCategory = true;
    // Read by intake threads as they make items.
    vcFormatChoice _choice;
};
