#include "ODEditPage.h"

#include "ODMyDocumentWindow.h"

#include <vcCommon.h>

#include <QDir>

ODEditPage::ODEditPage(ODMyDocumentWindow *window, QWidget *page) : _window(window), _page(page) {}

ODEditPage::~ODEditPage() {
    // The editor says nothing more to a page that is going away.
    if (_editor) {
        _editor->setDelegate(nullptr);
        delete _editor.data();
    }
}

QString ODEditPage::exportFolder() const {
    QString folder = _window->document().exportFolder();
    if (folder.isEmpty())
        folder = vcCommon::exportMovieFolder();
    // A folder that has gone would be taken for a file name by the export.
    QDir().mkpath(folder);
    return folder;
}

LXMediaEditController *ODEditPage::open(const LXMediaInfoPtr &item) {
    if (!item || !_page)
        return nullptr;
    if (_editor) {
        _editor->setDelegate(nullptr);
        delete _editor.data();
    }
    _editor = LXMediaEditController::shareEditControllerEditMovieInfoInWinOutputPathWithNibName(
        this, item, _window, exportFolder(), LXMediaEditController::kODNibName);
    _editor->attachToView(_page);
    _editor->show();
    return _editor;
}

void ODEditPage::close() {
    if (!_editor)
        return;
    LXMediaEditController *editor = _editor;
    _editor = nullptr;
    editor->setDelegate(nullptr);
    editor->previewScreenMovieAutoPlay(nullptr, false);
    editor->hide();
    editor->deleteLater();
}

bool ODEditPage::fromOpenEditor(LXMediaController *controller) const { return _editor && controller == _editor; }

void ODEditPage::refreshCurrentRow() {
    if (const vcTableCellViewPtr row =
            _window->tableViewJobForRow(_window->comboBoxTableView(), _window->document().currentIndex()))
        _window->refreshRow(row);
}

void ODEditPage::updateEditMovieInfo() { refreshCurrentRow(); }

void ODEditPage::backToMainPage(LXMediaController *controller) {
    if (fromOpenEditor(controller))
        _window->backToMainPage();
}

LXMediaInfoPtr ODEditPage::fetchEditMovieAtIndex(int64_t index) {
    return _window->document().fetchEditMovieAtIndex(index);
}

void ODEditPage::gotoPreviousItem(LXMediaController *controller) {
    if (fromOpenEditor(controller))
        _editor->previousMedia();
}

void ODEditPage::gotoNextItem(LXMediaController *controller) {
    if (fromOpenEditor(controller))
        _editor->nextMedia();
}

// A track choice is kept at once: it is the user's decision, not a passing state like a
// handle being dragged.
void ODEditPage::changeAudioStreamAtIndex(LXMediaController *, int64_t) { _window->document().saveHistoryFile(); }
void ODEditPage::changeSubTitleStreamAtIndex(LXMediaController *, int64_t) { _window->document().saveHistoryFile(); }
void ODEditPage::loadPluginSubTitle(LXMediaController *, const QString &) { _window->document().saveHistoryFile(); }
