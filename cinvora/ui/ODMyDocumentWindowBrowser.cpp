// The main window's format browser: the four category buttons and the picture grid.
#include "ODMyDocumentWindow.h"
#include "ODPreviewView.h"
#include "ODTheme.h"

#include <FormatCatalogue.h>
#include <vcCommon.h>

#include <foundation/Alerts.h>
#include <glazeform/LXImage.h>

#include <QMessageBox>
#include <utility>

namespace {
const QString kCategoryPicture = QStringLiteral("ODMediaTypeBtn.png");
}

void ODMyDocumentWindow::initMediaTypeSwitchButton() {
    for (size_t i = 0; i < _categoryButtons.size(); ++i) {
        LXButton *b = _categoryButtons[i];
        b->setTextTitle(ODDocument::categoryTitle(ODDocument::categoryNames().at(qsizetype(i))));
        b->setBShadowText(false);
        b->setDelegate(this);
    }
    updateMediaTypeButtonStatus();
}

namespace {
// The grid's tiles: every format of the catalogue, by category.
LXThumbCategories formatTiles() {
    const FormatCatalogue &catalogue = FormatCatalogue::shared();
    LXThumbCategories tiles;
    for (const QString &category : catalogue.categories())
        for (const FormatRecord &r : catalogue.formatsIn(category))
            tiles[category].append({r.key.catalogueKey(), ODDocument::shownCaption(r.caption)});
    return tiles;
}
} // namespace

void ODMyDocumentWindow::initThumbimageTableView() {
    LXThumbImageTableView *grid = _thumbImageTableView;
    grid->setBackGroundImage(LXImage::named(QStringLiteral("ODThumbViewBg.png")));
    grid->setScrollViewBg(LXImage::named(QStringLiteral("ODScrollFillBg.png")));
    grid->setLeftArrowNormal(LXImage::named(QStringLiteral("ODLeftArrowNormal.png")));
    grid->setLeftArrowPress(LXImage::named(QStringLiteral("ODLeftArrowPress.png")));
    grid->setLeftArrowDisable(LXImage::named(QStringLiteral("ODLeftArrowDisable.png")));
    grid->setRightArrowNormal(LXImage::named(QStringLiteral("ODRightArrowNormal.png")));
    grid->setRightArrowPress(LXImage::named(QStringLiteral("ODRightArrowPress.png")));
    grid->setRightArrowDisable(LXImage::named(QStringLiteral("ODRightArrowDisable.png")));
    grid->setCellBgAndSettingBtnImage(LXImage::named(QStringLiteral("ODThumbCellBg.png")),
                                      LXImage::named(QStringLiteral("ODThumbCellSetting.png")));
    grid->setCellTitleColor(odtheme::textSoft());
    grid->setThumbImageTableViewDelegate(this);
    grid->initDictionaryWithPrefix(formatTiles(), kPicturePrefix);
    // The category shown is the one the buttons say; the grid's own first category need
    // not be it.
    grid->loadCategoryByMainKeyWithPrefix(_document->mainKey(), kPicturePrefix);
    grid->setCanChangeCategory(_document->canChangeCategory());
}

bool ODMyDocumentWindow::isCategoryTypeButton(const QObject *object) const {
    return std::find(_categoryButtons.begin(), _categoryButtons.end(), object) != _categoryButtons.end();
}

void ODMyDocumentWindow::updateMediaTypeButtonStatus() {
    int selected = _document->selectMediaType();
    if (selected < 0 || selected >= int(_categoryButtons.size()))
        selected = 0;
    const bool locked = !_thumbImageTableView->canChangeCategory();
    for (size_t i = 0; i < _categoryButtons.size(); ++i) {
        LXButton *b = _categoryButtons[i];
        const bool on = int(i) == selected;
        b->setNormalImage(on ? LXImage::named(kCategoryPicture) : QPixmap());
        b->setPressImage(on ? LXImage::named(kCategoryPicture) : QPixmap());
        // The selected pill is light; the others sit on the dark bar and fade while the
        // category is locked to audio.
        const QColor ink = on ? odtheme::textOnLight() : locked ? odtheme::textDim().darker(130) : odtheme::textSoft();
        b->setTextNormalColor(ink);
        b->setTextPressColor(on ? odtheme::textOnLight() : odtheme::textOnLight());
        b->setCursor(locked && !on ? Qt::ForbiddenCursor : Qt::PointingHandCursor);
        // The pill is only painted: say which category is on, for screen readers and the widget report.
        b->setProperty("selected", on);
        b->setAccessibleDescription(on ? QStringLiteral("selected") : QString());
        b->update();
    }
}

void ODMyDocumentWindow::buttonDown(LXButton *button) {
    if (!isCategoryTypeButton(button) || !_thumbImageTableView->canChangeCategory())
        return;
    for (LXButton *b : _categoryButtons) {
        b->setNormalImage(QPixmap());
        b->setPressImage(QPixmap());
        b->update();
    }
    button->setPressImage(LXImage::named(kCategoryPicture));
    button->update();
}

void ODMyDocumentWindow::pressCanceled(LXButton *button) {
    if (isCategoryTypeButton(button))
        updateMediaTypeButtonStatus();
}

void ODMyDocumentWindow::showCategory(const QString &mainKey, int) {
    _thumbImageTableView->loadCategoryByMainKeyWithPrefix(mainKey, kPicturePrefix);
    updateMediaTypeButtonStatus();
    orderTabStops();
}

void ODMyDocumentWindow::setCategoryChangeAllowed(bool allowed) {
    // Asked on every selection: the buttons are redrawn only when the lock changes.
    if (_thumbImageTableView->canChangeCategory() == allowed)
        return;
    _thumbImageTableView->setCanChangeCategory(allowed);
    updateMediaTypeButtonStatus();
}

void ODMyDocumentWindow::highlightFormatCell(const QString &label) {
    _thumbImageTableView->selectImageCellWithKey(label);
    orderTabStops();
}

void ODMyDocumentWindow::selectLastExportType() { highlightFormatCell(_document->lastFormatLabel()); }

void ODMyDocumentWindow::selectCellWithDictionaryWithSubKey(const QString &key) {
    _document->selectCellWithDictionaryWithSubKey(key);
    // The chosen cell's settings button is the stop after the grid.
    orderTabStops();
}

void ODMyDocumentWindow::showMediaInfoAtIndexWithKey(int index, const QString &key) {
    // The press has put the question first: the editor opens once the format is settled,
    // and not at all when the user kept the old one.
    if (_askingApplyToAll) {
        _editorAfterQuestion = {index, key};
        return;
    }
    showMediaInfoEdit(index, key);
}

void ODMyDocumentWindow::askApplyFormatToAll(int64_t count, std::function<void(bool, bool)> done) {
    const foundation::AlertRequest request{
        tr("Apply this format to every item?"),
        tr("The output format and its parameters will change for all %1 items in the list.").arg(count),
        tr("Apply to All"),
        tr("Cancel"),
        QString(),
        foundation::AlertButton::Alternate};
    _askingApplyToAll = true;
    _editorAfterQuestion.reset();
    auto *box = foundation::Alerts::showSheet(this, request, tr("Do not ask again"),
                                              [this, done](foundation::AlertButton button, bool dontAskAgain) {
                                                  _askingApplyToAll = false;
                                                  const bool apply = button == foundation::AlertButton::Default;
                                                  done(apply, dontAskAgain);
                                                  const auto editor = std::exchange(_editorAfterQuestion, std::nullopt);
                                                  if (apply && editor)
                                                      showMediaInfoEdit(editor->first, editor->second);
                                              });
    if (box)
        box->setObjectName(QStringLiteral("applyToAllQuestion"));
}

void ODMyDocumentWindow::showMediaInfoEdit(int index, const QString &key) {
    (void)index;
    (void)key;
    // The press on the button has chosen the format already (for every job); the editor
    // shows the selected job's lists. Nothing opens without a selection.
    if (_mediaInfoEdit)
        return;
    _mediaInfoEdit =
        ODMediaInfoEdit::shareODMediaInfoEditEditMovieWithDelegate(this, _document->currentEditMovie(), this);
}

void ODMyDocumentWindow::saveMediaInfo(const LXMediaInfo &edited) {
    _document->saveMediaInfo(edited);
    _mainPreviewView->update();
}
