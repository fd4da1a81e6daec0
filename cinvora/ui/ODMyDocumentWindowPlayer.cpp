// The main window's hand-off of the selected job to the combined player-editor window.
#include "ODMyDocumentWindow.h"

#include <foundation/Strings.h>
#include <framewheel/SWMediaInfoManager.h>
#include <glazeform/LXDragWindow.h>
#include <reelwright/LXPlayerPlusEditorController.h>

#include <framewheel/SWPlayer.h>

#include <QFileInfo>
#include <QShortcut>

QString ODMyDocumentWindow::openInPlayerWindowTitle() { return tr("Open in Player Window"); }

void ODMyDocumentWindow::openSelectedInPlayerWindow() {
    const LXMediaInfoPtr item = _document->currentEditMovie();
    if (!item || isEditPageShown())
        return;
    // One picture and one sound at a time: the preview pauses while the window plays.
    if (_mediaPlayController) {
        _mediaPlayController->pauseWhenPlay();
        _mediaPlayController->escFullCtrl();
    }
    if (_playerWindow) {
        // One player window: the earlier one closes (and saves) first.
        if (LXDragWindow *old = _playerWindow->dragWindow())
            old->close();
    }
    // A window of its own, kept with the main window (it closes when this one goes).
    auto *win = new LXDragWindow(this);
    win->setAttribute(Qt::WA_DeleteOnClose);
    win->resize(LXPlayerPlusEditorController::windowSizeForItem(item));
    win->setMinimumSize(LXPlayerPlusEditorController::kMinWindowWidth, LXPlayerPlusEditorController::kMinWindowHeight);
    win->setWindowTitle(
        QFileInfo(item->mediaInfoManager() ? item->mediaInfoManager()->path() : item->fileName()).fileName());
    // Exports go to the export folder, numbered when a name is taken.
    auto *plus = LXPlayerPlusEditorController::sharePlayEditControllerEditMovieInfoInWinOutputPathWithNibName(
        this, item, win, QString());
    _playerWindow = plus;
    connect(plus, &QObject::destroyed, this, [this, item] {
        if (const vcTableCellViewPtr row = rowForItem(item))
            refreshRow(row);
        _document->saveHistoryFile();
    });
    // Closed like any window of its own: Esc (which first leaves full screen, where the
    // player takes it) or Ctrl+W.
    for (const QKeySequence &key : {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)}) {
        auto *close = new QShortcut(key, win);
        connect(close, &QShortcut::activated, win, [win, plus = QPointer<LXPlayerPlusEditorController>(plus)] {
            if (plus && plus->playView() && plus->playView()->isInFullScreenMode())
                plus->playView()->exitFullScreenMode();
            else
                win->close();
        });
    }
    win->show();
    win->raise();
    win->activateWindow();
    plus->enterPlayCtrl();
}

vcTableCellViewPtr ODMyDocumentWindow::rowForItem(const LXMediaInfoPtr &item) const {
    for (const vcTableCellViewPtr &row : _document->cellArray())
        if (row && row->editMovie() == item)
            return row;
    return nullptr;
}

void ODMyDocumentWindow::updateEditMovieInfo() {
    if (_playerWindow)
        if (const vcTableCellViewPtr row = rowForItem(_playerWindow->editMovie()))
            refreshRow(row);
}

void ODMyDocumentWindow::backToMainPage(LXMediaController *controller) {
    // "back to main window": the player window closes and this one comes to the front.
    if (controller && controller == _playerWindow.data())
        if (LXDragWindow *win = _playerWindow->dragWindow())
            win->close();
    raise();
    activateWindow();
}
