// The main window: construction, layout, and what the document asks of its window.
#include "ODMyDocumentWindow.h"

#include "ODEditPage.h"

#include "ODPreviewView.h"
#include "ODTheme.h"
#include "vcAccessible.h"
#include "vcTableCellWidget.h"

#include <DesktopCitizen.h>

#include <vcCommon.h>

#include <foundation/BundleInfo.h>
#include <foundation/Strings.h>

#include <glazeform/LXCommon.h>
#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXStyle.h>
#include <glazeform/LXSwitchButton.h>
#include <glazeform/LXView.h>

#include <QDragEnterEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QMimeData>

namespace {

void place(QWidget *w, double x, double y, double width, double height) {
    LXGeometry::place(w, QRectF(x, y, width, height));
}

LXLabel *label(QWidget *parent, qreal size, const QColor &color, const QString &text = {}) {
    auto *l = new LXLabel(parent);
    l->setTextFont(LXStyle::systemFont(size));
    l->setTextColor(color);
    l->setTextTitle(text);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    return l;
}

LXButton *pictureButton(QWidget *parent, const QString &normal, const QString &press, const QString &tip,
                        LXButtonDelegate *delegate) {
    auto *b = new LXButton(parent);
    b->setImages(normal, press);
    b->setTextTitle(QString());
    b->setToolTip(tip);
    b->setDelegate(delegate);
    return b;
}

LXView *barView(QWidget *parent, const QString &picture) {
    auto *v = new LXView(parent);
    v->setBackGroundImage(LXImage::named(picture));
    return v;
}

} // namespace

ODMyDocumentWindow::ODMyDocumentWindow(QWidget *parent) : QWidget(parent), _document(std::make_unique<ODDocument>()) {
    vcAccessible::install();
    setObjectName(QStringLiteral("ODMyDocument"));
    setWindowTitle(vcCommon::currentApplicationName());
    setWindowIcon(QIcon(LXImage::named(QStringLiteral("ODAppIcon.png"))));
    setAcceptDrops(true);
    setMinimumSize(1000, 640);
    resize(kDefaultWidth, kDefaultHeight);

    buildPages();
    buildTopBar();
    buildListArea();
    buildPreviewAndBrowser();
    buildBottomBar();
    buildApplicationMenu();
    buildShortcuts();
    layoutPieces();
    watchExports();

    // Start-up, as when the window's layout has loaded: the list starts empty with no
    // selection and the tip showing; the export folder and the format browser are filled.
    _document->setWindow(this);
    fillExportFolderPopup();
    initMediaTypeSwitchButton();
    initThumbimageTableView();
    selectLastExportType();
    initPlayControl();
    updateEmptyListTip(true);
    setConvertAllEnabled(false);
    updateItemCount();
    orderTabStops();
    // The keyboard starts on the preview, where the space bar plays, and not on the first
    // button Tab would reach.
    _mainPreviewView->setFocus(Qt::OtherFocusReason);
}

ODMyDocumentWindow::~ODMyDocumentWindow() {
    // The editor and the player window first: they may still be playing and would report
    // to the document; the player window saves nothing into a list that is going away.
    _editPage.reset();
    if (_playerWindow) {
        disconnect(_playerWindow.data(), nullptr, this, nullptr);
        _playerWindow->setDelegate(nullptr);
        delete _playerWindow->dragWindow();
    }
    // The preview's player stops and lets go of its threads while the engine still runs.
    _playerLetGo = true;
    releasePlayControl();
    // No thread may report to a row, a sheet or the list once they start going away.
    _document->shutdown();
    _document->setWindow(nullptr);
    _comboBoxTableView->unbindAll();
    if (_addProgressController)
        delete _addProgressController.data();
    if (_settingController)
        delete _settingController.data();
    if (_mediaInfoEdit)
        delete _mediaInfoEdit.data();
}

// ---- Construction ---------------------------------------------------------------------

void ODMyDocumentWindow::buildPages() {
    _rootView = new LXView(this);
    _rootView->setBackGroundColor(Qt::black);
    _rootView->setBDrawBackground(true);
    _exchangeRootView = new QWidget(_rootView);
    _mainPanelView = new QWidget(_exchangeRootView);
    _mainPanelView->setObjectName(QStringLiteral("mainPanelView"));
    _mainPanelView->setAutoFillBackground(true);
    QPalette pal = _mainPanelView->palette();
    pal.setColor(QPalette::Window, odtheme::hairline());
    _mainPanelView->setPalette(pal);
    auto *edit = new LXView(_exchangeRootView);
    edit->setObjectName(QStringLiteral("editPanelView"));
    edit->setBackGroundColor(Qt::black);
    edit->setBDrawBackground(true);
    _editPanelView = edit;
    _editPanelView->hide();
    _editPage = std::make_unique<ODEditPage>(this, _editPanelView);
}

void ODMyDocumentWindow::buildTopBar() {
    _topBackGroundView = barView(_mainPanelView, QStringLiteral("ODTopBg.png"));
    _appMenuBtn = pictureButton(_topBackGroundView, QStringLiteral("ODAppIcon.png"), QStringLiteral("ODAppIcon.png"),
                                tr("Cinvora menu"), this);
    _appNameLbl = label(_topBackGroundView, 17, odtheme::text(), applicationMenuTitles().value(0));
    _appNameLbl->setTextFont(LXStyle::boldSystemFont(17));
    _feedbackBtn = pictureButton(_topBackGroundView, QStringLiteral("ODFeedbackNormal.png"),
                                 QStringLiteral("ODFeedbackPress.png"), tr("Send feedback"), this);
    _supportBtn = pictureButton(_topBackGroundView, QStringLiteral("ODSupportNormal.png"),
                                QStringLiteral("ODSupportPress.png"), tr("Support page"), this);
    _settingBtn = pictureButton(_topBackGroundView, QStringLiteral("ODSettingNormal.png"),
                                QStringLiteral("ODSettingPress.png"), tr("Preferences"), this);
}

void ODMyDocumentWindow::buildListArea() {
    _comboBoxTableView = new vcTableView(_mainPanelView);
    _comboBoxTableView->setDataSource(this);

    // The tip covers the list while it is empty; files dropped on it are added.
    _tipView = new LXView(_mainPanelView);
    static_cast<LXView *>(_tipView)->setBackGroundImage(LXImage::named(QStringLiteral("ODTableViewBg.png")));
    _tipImageView = new LXImageView(_tipView);
    _tipImageView->setImage(LXImage::named(QStringLiteral("ODDropTip.png")));
    _tipImageView->setImageViewDelegate(this);
    _tipImageView->setCursor(Qt::PointingHandCursor);
    _tipImageView->setToolTip(tr("Add files"));
    _tipTitleLbl = label(_tipView, 15, odtheme::text(), tr("Drop video or audio files here"));
    _tipTitleLbl->setTextFont(LXStyle::boldSystemFont(15));
    _tipTitleLbl->setTextAlignment(LXLabel::AlignCenter);
    _tipTextLbl = label(_tipView, 12, odtheme::textDim(), tr("or click to choose them"));
    _tipTextLbl->setTextAlignment(LXLabel::AlignCenter);

    _wrBtmStatusBar = barView(_mainPanelView, QStringLiteral("ODBtmStatusBar.png"));
    _wrAddMediaBtn = pictureButton(_wrBtmStatusBar, QStringLiteral("ODAddNormal.png"), QStringLiteral("ODAddPress.png"),
                                   tr("Add files"), this);
    _wrRemoveAllBtn = pictureButton(_wrBtmStatusBar, QStringLiteral("ODRemoveAllNormal.png"),
                                    QStringLiteral("ODRemoveAllPress.png"), tr("Remove every item"), this);
    _itemCountLbl = label(_wrBtmStatusBar, 12, odtheme::textDim());
    _itemCountLbl->setTextAlignment(LXLabel::AlignRight);
}

void ODMyDocumentWindow::buildPreviewAndBrowser() {
    _mainPreviewView = new ODPreviewView(_mainPanelView);
    _mainPreviewView->setFocusPolicy(Qt::StrongFocus);
    _wrMidStatusBar = barView(_mainPanelView, QStringLiteral("ODMidStatusBar.png"));
    for (const QString &title : ODDocument::categoryNames()) {
        auto *b = new LXButton(_wrMidStatusBar);
        b->setTextTitle(ODDocument::categoryTitle(title));
        b->setTextFont(LXStyle::systemFont(13));
        b->setBShadowText(false);
        b->setDelegate(this);
        b->installEventFilter(this);
        _categoryButtons.push_back(b);
    }
    // The grid is built for its frame; layoutPieces() gives it its place.
    _thumbImageTableView =
        new LXThumbImageTableView(QRectF(0, 0, kDefaultWidth - kListWidth - 1, kGridHeight), _mainPanelView);
}

void ODMyDocumentWindow::buildBottomBar() {
    _bottomView = barView(_mainPanelView, QStringLiteral("bottomView.png"));
    _wrOutputLbl = label(_bottomView, 12, odtheme::textSoft(), tr("Save to"));
    _selectDirectoryBtn = new LXPopUpButton(_bottomView);
    _selectDirectoryBtn->setNormalImage(LXImage::named(QStringLiteral("ODPopNormal.png")));
    _selectDirectoryBtn->setPressImage(LXImage::named(QStringLiteral("ODPopPress.png")));
    _selectDirectoryBtn->setPopupMenuItemBg(LXImage::named(QStringLiteral("popupMenuItem_Bg2.png")));
    _selectDirectoryBtn->setFontSize(12);
    _selectDirectoryBtn->setDelegate(this);
    // The label shows the folder over the pop-up's face; presses go to the pop-up.
    _wrVideoPathLbl = label(_selectDirectoryBtn, 12, odtheme::text());
    _wrVideoPathLbl->setBUseDot(true);
    _wrBrowserBtn = pictureButton(_bottomView, QStringLiteral("ODBrowserNormal.png"),
                                  QStringLiteral("ODBrowserPress.png"), tr("Show the export folder"), this);
    _switchLbl = label(_bottomView, 12, odtheme::textSoft(), tr("Copy unchanged streams"));
    _switchLbl->setTextAlignment(LXLabel::AlignRight);
    _switchButton = new LXSwitchButton(_bottomView);
    _switchButton->setBtnBackgroundImage(LXImage::named(QStringLiteral("ODSwitchBG.png")));
    _switchButton->setBtnForegroundImage(LXImage::named(QStringLiteral("ODSwitchFG.png")));
    _switchButton->setBOnStates(vcCommon::autoCheckStreamCopyWhenSameCodec());
    _switchButton->setToolTip(tr("Copy a stream instead of encoding it again when its codec stays the same"));
    connect(_switchButton, &LXSwitchButton::stateChanged, this, [this](bool on) {
        vcCommon::setAutoCheckStreamCopyWhenSameCodec(on);
        // What a finished row was made with may no longer be what Convert would make.
        _comboBoxTableView->refreshVisibleRows();
    });
    _wrConvertBtn = new LXButton(_bottomView);
    _wrConvertBtn->setTextFont(LXStyle::boldSystemFont(14));
    _wrConvertBtn->setTextNormalColor(QColor(0x10, 0x12, 0x15));
    _wrConvertBtn->setTextPressColor(QColor(0x10, 0x12, 0x15));
    _wrConvertBtn->setTextDisableColor(QColor(0x10, 0x12, 0x15, 150));
    _wrConvertBtn->setBShadowText(false);
    _wrConvertBtn->setDelegate(this);
    setConvertToggleStopLook(false);
    // Captions drawn beside their controls, said to screen readers as the controls' names.
    _selectDirectoryBtn->setAccessibleName(tr("Save to"));
    _switchButton->setAccessibleName(tr("Copy unchanged streams"));
    _mainPreviewView->setAccessibleName(tr("Preview"));
}

void ODMyDocumentWindow::layoutPieces() {
    const double W = width(), H = height();
    _rootView->setGeometry(rect());
    _exchangeRootView->setGeometry(_rootView->rect());
    _mainPanelView->setGeometry(_exchangeRootView->rect());
    _editPanelView->setGeometry(_exchangeRootView->rect());

    const double rightX = kListWidth + 1, rightW = W - rightX;
    place(_topBackGroundView, 0, H - kTopBarHeight, W, kTopBarHeight);
    place(_appMenuBtn, 14, 11, 28, 28);
    place(_appNameLbl, 50, 13, 200, 24);
    place(_settingBtn, W - 16 - 32, 12, 32, 26);
    place(_supportBtn, W - 16 - 32 - 40, 12, 32, 26);
    place(_feedbackBtn, W - 16 - 32 - 80, 12, 32, 26);

    const double listBottom = kBottomBarHeight + kStatusBarHeight;
    const double listH = H - kTopBarHeight - listBottom;
    place(_comboBoxTableView, 0, listBottom, kListWidth, listH);
    place(_tipView, 0, listBottom, kListWidth, listH);
    const double tipTop = listH / 2 + 70;
    place(_tipImageView, (kListWidth - 168) / 2.0, tipTop - 104, 168, 104);
    place(_tipTitleLbl, 12, tipTop - 104 - 34, kListWidth - 24, 22);
    place(_tipTextLbl, 12, tipTop - 104 - 56, kListWidth - 24, 18);
    place(_wrBtmStatusBar, 0, kBottomBarHeight, kListWidth, kStatusBarHeight);
    place(_wrAddMediaBtn, 12, 5, 32, 26);
    place(_wrRemoveAllBtn, 52, 5, 32, 26);
    place(_itemCountLbl, kListWidth - 16 - 200, 9, 200, 18);

    const double gridY = kBottomBarHeight;
    const double midY = gridY + kGridHeight;
    const double previewY = midY + kStatusBarHeight;
    place(_mainPreviewView, rightX, previewY, rightW, H - kTopBarHeight - previewY);
    place(_wrMidStatusBar, rightX, midY, rightW, kStatusBarHeight);
    const double catW = 112, gap = 6;
    const double catTotal = catW * 4 + gap * 3;
    double cx = std::max(8.0, (rightW - catTotal) / 2);
    for (LXButton *b : _categoryButtons) {
        place(b, cx, 5, catW, 26);
        cx += catW + gap;
    }
    if (_thumbImageTableView) {
        const QRectF old = LXGeometry::frameOf(_thumbImageTableView);
        if (std::abs(old.width() - rightW) > 0.5) {
            // The grid lays its strip and arrows out for its frame: rebuild it for a new width,
            // keeping what it shows.
            const bool filled = !_thumbImageTableView->dictionary().isEmpty();
            const QString category = _thumbImageTableView->currentKey();
            const bool canChange = _thumbImageTableView->canChangeCategory();
            QString highlighted;
            for (LXImageCellView *cell : _thumbImageTableView->cells())
                if (cell->bSelected())
                    highlighted = cell->cellTitle();
            delete _thumbImageTableView;
            _thumbImageTableView =
                new LXThumbImageTableView(QRectF(rightX, gridY, rightW, kGridHeight), _mainPanelView);
            _thumbImageTableView->show();
            if (filled) {
                initThumbimageTableView();
                _thumbImageTableView->loadCategoryByMainKeyWithPrefix(category, kPicturePrefix);
                _thumbImageTableView->setCanChangeCategory(canChange);
                if (!highlighted.isEmpty())
                    _thumbImageTableView->selectImageCellWithKey(highlighted);
            }
            orderTabStops();
        } else {
            place(_thumbImageTableView, rightX, gridY, rightW, kGridHeight);
        }
    }

    // The bar's texts are as long as their language makes them: each piece is as wide as
    // its text needs, at least as wide as the English one was laid out.
    auto needs = [](const QFont &font, const QString &text) {
        return double(QFontMetrics(font).horizontalAdvance(text));
    };
    place(_bottomView, 0, 0, W, kBottomBarHeight);
    const double outW = std::max(60.0, needs(_wrOutputLbl->textFont(), _wrOutputLbl->textTitle()) + 8);
    place(_wrOutputLbl, 16, 19, outW, 18);
    const double popX = 16 + outW;
    const double popW = std::clamp(W - 700 - outW, 260.0, 420.0);
    place(_selectDirectoryBtn, popX, 15, popW, 26);
    place(_wrVideoPathLbl, 10, 4, popW - 34, 18);
    place(_wrBrowserBtn, popX + popW + 8, 15, 32, 26);
    // The toggle's picture has its size, with the sign at its left end: a longer title is
    // set smaller until both titles fit beside the sign, so that it keeps its look when it
    // turns.
    const double convertW = 132;
    int points = 14;
    auto titlesFit = [&](int size) {
        const QFont f = LXStyle::boldSystemFont(size);
        return std::max(needs(f, convertTitle()), needs(f, pauseTitle())) <= convertW - 40;
    };
    while (points > 10 && !titlesFit(points))
        --points;
    _wrConvertBtn->setTextFont(LXStyle::boldSystemFont(points));
    const double convertX = W - 16 - convertW;
    place(_wrConvertBtn, convertX, 11, convertW, 34);
    place(_switchButton, convertX - 28 - 47, 19, 47, 18);
    const double switchW = std::max(180.0, needs(_switchLbl->textFont(), _switchLbl->textTitle()) + 4);
    place(_switchLbl, convertX - 28 - 47 - 8 - switchW, 19, switchW, 18);
}

void ODMyDocumentWindow::resizeEvent(QResizeEvent *) { layoutPieces(); }

void ODMyDocumentWindow::updateItemCount() {
    const int64_t n = _document->numberOfRows();
    _itemCountLbl->setTextTitle(n == 0 ? QString() : tr("%n item(s)", nullptr, int(n)));
}

// ---- The list -------------------------------------------------------------------------

int64_t ODMyDocumentWindow::numberOfRowsInTableView(vcTableView *) { return _document->numberOfRows(); }

vcTableCellViewPtr ODMyDocumentWindow::tableViewJobForRow(vcTableView *, int64_t row) {
    const auto &rows = _document->cellArray();
    if (row < 0 || row >= int64_t(rows.size()))
        return nullptr;
    // Asked for the rows it shows: those get their pictures.
    _document->wantPicture(rows[size_t(row)]);
    return rows[size_t(row)];
}

bool ODMyDocumentWindow::tableViewIsJobSelected(vcTableView *, const vcTableCellView *job) {
    return _document->isRowSelected(job);
}

bool ODMyDocumentWindow::tableViewIsJobCurrent(vcTableView *, const vcTableCellView *job) {
    return job && job->idx() == _document->currentIndex();
}

void ODMyDocumentWindow::tableViewConcludeDragFile(vcTableView *, const QStringList &paths) {
    _document->concludeDragFile(paths);
}

void ODMyDocumentWindow::reloadTable() {
    _comboBoxTableView->reloadData();
    updateItemCount();
}

void ODMyDocumentWindow::rowAdded(const std::shared_ptr<vcTableCellView> &) {}

void ODMyDocumentWindow::rowRemoved(const std::shared_ptr<vcTableCellView> &row) { rowsRemoved({row}); }

void ODMyDocumentWindow::rowsRemoved(const std::vector<std::shared_ptr<vcTableCellView>> &rows) {
    // The player never keeps showing (or playing) an item that left the list.
    const LXMediaInfoPtr shown = _mediaPlayController ? _mediaPlayController->editMovie() : nullptr;
    for (const auto &row : rows)
        if (row && shown && row->editMovie() == shown) {
            previewNilFile();
            break;
        }
    _comboBoxTableView->reloadData();
    updateItemCount();
}

void ODMyDocumentWindow::rowSelected(const std::shared_ptr<vcTableCellView> &row, bool) {
    _comboBoxTableView->refreshSelection(row.get());
}

void ODMyDocumentWindow::scrollToRow(int64_t index) { _comboBoxTableView->scrollRowToVisible(index); }

void ODMyDocumentWindow::refreshRow(const std::shared_ptr<vcTableCellView> &row) {
    if (!row)
        return;
    if (vcTableCellWidget *w = _comboBoxTableView->widgetForJob(row.get()))
        w->updateCell();
    if (row->editMovie() == _mainPreviewView->item())
        _mainPreviewView->update();
}

void ODMyDocumentWindow::updateEmptyListTip(bool listIsEmpty) {
    _tipView->setVisible(listIsEmpty);
    if (listIsEmpty)
        _tipView->raise();
}

// ---- The convert controls ---------------------------------------------------------------

void ODMyDocumentWindow::setConvertAllEnabled(bool enabled) { _wrConvertBtn->setBEnabled(enabled); }

void ODMyDocumentWindow::setConvertAllState(bool on) {
    // Every row converting, or none any more (the last one was stopped from its row): the
    // toggle shows it, and its next press pauses or converts accordingly.
    _document->setWrBConverted(on);
    setConvertToggleStopLook(on);
}

// The spaces keep the title clear of the button's picture.
QString ODMyDocumentWindow::convertTitle() { return QStringLiteral("   ") + tr("Convert"); }
QString ODMyDocumentWindow::pauseTitle() { return QStringLiteral("   ") + tr("Pause"); }

void ODMyDocumentWindow::setConvertToggleStopLook(bool stopLook) {
    if (stopLook) {
        _wrConvertBtn->setImages(QStringLiteral("ODStopConvertNormal.png"), QStringLiteral("ODStopConvertPress.png"));
        _wrConvertBtn->setTextTitle(pauseTitle());
        _wrConvertBtn->setToolTip(tr("Pause every conversion"));
    } else {
        _wrConvertBtn->setImages(QStringLiteral("ODConvertNormal.png"), QStringLiteral("ODConvertPress.png"));
        _wrConvertBtn->setTextTitle(convertTitle());
        _wrConvertBtn->setToolTip(tr("Convert every item"));
    }
}

// ---- The intake sheet -------------------------------------------------------------------

void ODMyDocumentWindow::showAddProgress(bool needCancel) {
    if (_addProgressController) {
        _addProgressController->endSheet();
        _addProgressController->deleteLater();
    }
    auto *sheet = new ODProgressController(this, needCancel);
    sheet->setDelegate(this);
    _addProgressController = sheet;
    sheet->showOnWindow(this);
}

void ODMyDocumentWindow::updateAddProgress(double percent) {
    if (_addProgressController)
        _addProgressController->updateAddProgressPercent(percent);
}

void ODMyDocumentWindow::stopAddProgress() {
    focusPlayer();
    if (!_addProgressController)
        return;
    ODProgressController *sheet = _addProgressController;
    _addProgressController = nullptr;
    sheet->endSheet();
    sheet->deleteLater();
}

void ODMyDocumentWindow::cancelAddFiles(bool cancel) { _document->cancelAddFiles(cancel); }

// ---- The preview ------------------------------------------------------------------------

void ODMyDocumentWindow::refreshParameterControls(const LXMediaInfoPtr &) {
    // The parameter controls live in the parameter editor; a job keeps the frame size
    // chosen for it when it is selected. The preview's caption shows the chosen format.
    _mainPreviewView->update();
}

// ---- Drops anywhere on the list page ----------------------------------------------------

void ODMyDocumentWindow::dragEnterEvent(QDragEnterEvent *event) {
    if (!isEditPageShown() && !LXImageView::filePaths(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ODMyDocumentWindow::dragMoveEvent(QDragMoveEvent *event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ODMyDocumentWindow::dropEvent(QDropEvent *event) {
    const QStringList paths = LXImageView::filePaths(event->mimeData());
    if (paths.isEmpty() || isEditPageShown()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    _document->concludeDragFile(paths);
}

void ODMyDocumentWindow::acceptDropedFiles(const QStringList &paths) { _document->acceptDropedFiles(paths); }

void ODMyDocumentWindow::clickImageView(LXImageView *view) {
    if (view == _tipImageView)
        addFileToList();
}
