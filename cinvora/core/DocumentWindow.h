#pragma once
// What the document asks of its window. The main window implements it; tests and the
// command line use their own. Every method runs on the main thread and has a default
// that means "no window": questions are answered with their default (safe) button.
#include "vcBatchTally.h"

#include <foundation/AlertRequest.h>
#include <reelwright/LXMediaInfo.h>

#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class vcTableCellView;

class DocumentWindow {
public:
    virtual ~DocumentWindow() = default;

    // Sheets.
    virtual void askQuestion(const foundation::AlertRequest &request,
                             std::function<void(foundation::AlertButton)> done) {
        (void)request;
        done(foundation::AlertButton::Default);
    }
    // A format chosen in the grid is about to go to all `count` items: `done` gets whether
    // to go ahead and whether the user asked not to be asked again. No window: go ahead.
    virtual void askApplyFormatToAll(int64_t count, std::function<void(bool apply, bool dontAskAgain)> done) {
        (void)count;
        done(true, false);
    }
    virtual void closeWindow() {}
    // The add button's file chooser; `done` receives the chosen paths (not called on cancel).
    virtual void chooseFiles(const QStringList &extensions, std::function<void(QStringList)> done) {
        (void)extensions;
        (void)done;
    }

    // The list.
    virtual void reloadTable() {}
    virtual void rowAdded(const std::shared_ptr<vcTableCellView> &row) { (void)row; }
    virtual void rowRemoved(const std::shared_ptr<vcTableCellView> &row) { (void)row; }
    // Rows removed together, after the list has lost them all; in list order.
    virtual void rowsRemoved(const std::vector<std::shared_ptr<vcTableCellView>> &rows) {
        for (const auto &row : rows)
            rowRemoved(row);
    }
    virtual void rowSelected(const std::shared_ptr<vcTableCellView> &row, bool selected) {
        (void)row;
        (void)selected;
    }
    virtual void scrollToRow(int64_t index) { (void)index; }
    virtual void refreshRow(const std::shared_ptr<vcTableCellView> &row) { (void)row; }
    virtual void updateEmptyListTip(bool listIsEmpty) { (void)listIsEmpty; }

    // The convert controls.
    virtual void setConvertAllEnabled(bool enabled) { (void)enabled; }
    virtual void setConvertAllState(bool on) { (void)on; }
    virtual void setConvertToggleStopLook(bool stopLook) { (void)stopLook; }
    // The batch's life: running from convert-all until it is paused, cancelled or every
    // row has ended; `batchEnded` follows the last, with how the rows ended.
    virtual void conversionsRunning(bool running) { (void)running; }
    virtual void batchEnded(const vcBatchTally &tally) { (void)tally; }

    // The intake progress sheet: `needCancel` for files being added, false for the saved
    // list being restored (its title differs; both can be cancelled).
    virtual void showAddProgress(bool needCancel) { (void)needCancel; }
    virtual void updateAddProgress(double percent) { (void)percent; }
    virtual void stopAddProgress() {}

    // The preview (player) area.
    virtual void previewItem(const LXMediaInfoPtr &item, bool autoPlay) {
        (void)item;
        (void)autoPlay;
    }
    virtual bool isPlaying() { return false; }
    virtual void seekPlayerToTrimStart() {}
    virtual void focusPlayer() {}
    virtual void refreshParameterControls(const LXMediaInfoPtr &item) { (void)item; }

    // The format browser.
    virtual void showCategory(const QString &mainKey, int selectMediaType) {
        (void)mainKey;
        (void)selectMediaType;
    }
    virtual void setCategoryChangeAllowed(bool allowed) { (void)allowed; }
    virtual void highlightFormatCell(const QString &label) { (void)label; }
};
