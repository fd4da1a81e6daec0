#pragma once
// The main window's editor page: the trim editor (LXMediaEditController, the "ODMovieEditController"
// layout) for the list's current item, dressed with the program's skin, and the document's
// answers to it: moving through the list selects the rows, a changed trim refreshes the
// current row, a changed track is kept in the history at once, and the back button returns
// to the list page (which saves the history).
//
// Exports started in the editor write into the export folder (numbered when a name is
// taken, never replacing a file) and show their sheet on the main window.
//
// Main thread only. The page owns the editor it opened; close() lets go of it safely from
// inside the editor's own messages.
#include "ODMediaSkin.h"

#include <reelwright/LXMediaEditController.h>

#include <QPointer>

class ODMyDocumentWindow;

class ODEditPage : public ODMediaSkin {
public:
    // `page` is the window's editor page, which hosts the editor.
    ODEditPage(ODMyDocumentWindow *window, QWidget *page);
    ~ODEditPage() override;

    // Opens the editor on `item` (any editor still open goes first). Null without an item.
    LXMediaEditController *open(const LXMediaInfoPtr &item);
    // The editor stops playing and showing and is released (deferred: this may run inside
    // one of its messages).
    void close();
    LXMediaEditController *editor() const { return _editor; }
    // Where the editor's exports go: the document's export folder, made when missing.
    QString exportFolder() const;

    // --- LXMediaControllerDelegate ---------------------------------------------------------
    void updateEditMovieInfo() override;
    void backToMainPage(LXMediaController *controller) override;
    LXMediaInfoPtr fetchEditMovieAtIndex(int64_t index) override;
    void gotoPreviousItem(LXMediaController *controller) override;
    void gotoNextItem(LXMediaController *controller) override;
    void changeAudioStreamAtIndex(LXMediaController *controller, int64_t index) override;
    void changeSubTitleStreamAtIndex(LXMediaController *controller, int64_t index) override;
    void loadPluginSubTitle(LXMediaController *controller, const QString &path) override;

private:
    // Only the open editor's messages count (a released one may still be on its way out).
    bool fromOpenEditor(LXMediaController *controller) const;
    void refreshCurrentRow();

    ODMyDocumentWindow *_window;
    QPointer<QWidget> _page;
    QPointer<LXMediaEditController> _editor;
};
