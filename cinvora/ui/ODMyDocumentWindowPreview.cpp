// The main window's preview area and the list page's player it hosts: creating and letting
// go of the player, showing the selected item in it, and the program's skin for it.
#include "ODMyDocumentWindow.h"

#include "ODPreviewView.h"

void ODMyDocumentWindow::initPlayControl() {
    // A closed window builds no player: late reports (an intake finishing) find none.
    if (_mediaPlayController || _playerLetGo)
        return;
    _previewSkin.window = this;
    auto *player = LXPlayerController::shareEditControllerEditMovieInfoWithNibName(
        &_previewSkin, _document->currentEditMovie(), LXPlayerController::kBoardNibName);
    _mediaPlayController = player;
    _mainPreviewView->setPlayerView(player);
    player->enablePlayController(false);
    // Without an item the area keeps its "select an item" face over the idle player.
    player->setVisible(bool(player->editMovie()));
    _mainPreviewView->update();
}

void ODMyDocumentWindow::releasePlayControl() {
    LXPlayerController *player = _mediaPlayController;
    if (!player)
        return;
    _mediaPlayController = nullptr;
    // The floating bar is a window of its own: it goes with the player. Deleting the
    // controller unloads its player (and joins the player's threads) before its views go.
    player->escFullCtrl();
    player->setDelegate(nullptr);
    delete player;
    _mainPreviewView->update();
}

void ODMyDocumentWindow::previewMovieAutoPlay(const LXMediaInfoPtr &item, bool autoPlay) {
    if (!item) {
        previewNilFile();
        return;
    }
    _mainPreviewView->showItem(item);
    // The editor page has no player; the page's way back builds one for the selection.
    if (isEditPageShown())
        return;
    initPlayControl();
    LXPlayerController *player = _mediaPlayController;
    if (!player)
        return;
    player->enablePlayController(true);
    player->previewScreenMovieAutoPlay(item, autoPlay);
    player->changeAudioTrackInfo();
    player->changeSubTitleInfo();
    player->show();
    _mainPreviewView->update();
}

void ODMyDocumentWindow::previewNilFile() {
    _mainPreviewView->showItem(nullptr);
    if (LXPlayerController *player = _mediaPlayController) {
        player->escFullCtrl();
        player->previewScreenMovieAutoPlay(nullptr, false);
        player->enablePlayController(false);
        player->hide();
    }
    _mainPreviewView->update();
}

void ODMyDocumentWindow::focusPlayController() {
    if (!isVisible())
        return;
    if (_mediaPlayController && !_mediaPlayController->isHidden())
        _mediaPlayController->focusFirstResponder();
    else
        _mainPreviewView->setFocus(Qt::OtherFocusReason);
}

// ---- What the document asks ---------------------------------------------------------------

void ODMyDocumentWindow::previewItem(const LXMediaInfoPtr &item, bool autoPlay) {
    previewMovieAutoPlay(item, autoPlay);
}

bool ODMyDocumentWindow::isPlaying() { return _mediaPlayController && _mediaPlayController->isPlaying(); }

void ODMyDocumentWindow::seekPlayerToTrimStart() {
    if (_mediaPlayController && _mediaPlayController->editMovie())
        _mediaPlayController->seekToTrimStart();
}

void ODMyDocumentWindow::focusPlayer() { focusPlayController(); }

// ---- The player's messages ------------------------------------------------------------------

void ODMyDocumentWindow::PreviewSkin::updateEditMovieInfo() {
    if (window && window->_mediaPlayController)
        if (const vcTableCellViewPtr row = window->rowForItem(window->_mediaPlayController->editMovie()))
            window->refreshRow(row);
}

void ODMyDocumentWindow::PreviewSkin::beginToEditMovie(LXMediaController *controller) {
    // The editor page releases this player: not from inside its own button's press.
    if (window && controller && controller == window->_mediaPlayController.data())
        QMetaObject::invokeMethod(
            window,
            [w = QPointer<ODMyDocumentWindow>(window)] {
                if (w)
                    w->beginToEditMovie();
            },
            Qt::QueuedConnection);
}
