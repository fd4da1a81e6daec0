#include "glazeform/LXThumbImageTableView.h"

#include "glazeform/LXFocus.h"
#include "glazeform/LXGeometry.h"
#include "glazeform/LXImage.h"
#include "glazeform/LXImageView.h"
#include "glazeform/LXStyle.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------------------------------
// Cell

LXImageCellView::LXImageCellView(const QSizeF &size, QWidget *parent) : LXView(parent), _size(size) {
    resize(int(size.width()), int(size.height()));
    const double w = size.width(), h = size.height();
    _iconImageView = new LXImageView(this);
    _iconImageView->setAcceptDrops(false);
    _iconImageView->setAttribute(Qt::WA_TransparentForMouseEvents);
    LXGeometry::place(_iconImageView, QRectF((w - kIconSize) / 2, 25, kIconSize, kIconSize));
    _imageTitle = new LXLabel(QRectF(0, 0, w, 15), this);
    _imageTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
    _imageTitle->setTextAlignment(LXLabel::AlignCenter);
    _imageTitle->setTextFont(LXStyle::systemFont(10));
    _imageTitle->setTextColor(Qt::black);
    _imageTitle->setTextTitle(QStringLiteral("title"));
    _settingBtn = new LXButton(QRectF(w - 20, h - 20, 20, 20), this);
    _settingBtn->setTextTitle(QStringLiteral("#"));
    _settingBtn->setTextNormalColor(Qt::black);
    _settingBtn->setTextPressColor(Qt::black);
    _settingBtn->setTextDisableColor(Qt::black);
    _settingBtn->setDelegate(this);
    _settingBtn->setToolTip(tr("Settings of this format"));
    _settingBtn->hide();
}

void LXImageCellView::setImage(const QPixmap &image) { _iconImageView->setImage(image); }

QPixmap LXImageCellView::image() const { return _iconImageView->image(); }

void LXImageCellView::setTextLabelTitle(const QString &title) {
    _imageTitle->setTextTitle(title);
    setAccessibleName(title);
}

void LXImageCellView::setCellBackGroundImage(const QPixmap &image) {
    _cellBackGroundImage = image;
    update();
}

void LXImageCellView::setSettingImage(const QPixmap &image) {
    // Without a picture the button keeps its title and size rather than shrinking to nothing.
    if (image.isNull())
        return;
    _settingBtn->setNormalImage(image);
    _settingBtn->setPressImage(image);
    _settingBtn->setTextTitle(QString());
    const QSizeF s = LXImage::pointSize(image);
    LXGeometry::place(_settingBtn,
                      QRectF(_size.width() - s.width() - 5, _size.height() - s.height() - 5, s.width(), s.height()));
    update();
}

void LXImageCellView::selectView() {
    _bSelected = true;
    _settingBtn->show();
    showSelectedState();
    update();
}

void LXImageCellView::unSelectView() {
    _bSelected = false;
    _settingBtn->hide();
    showSelectedState();
    update();
}

void LXImageCellView::showSelectedState() {
    // The highlight is only painted: say it too, for screen readers and for the widget report.
    setProperty("selected", _bSelected);
    setAccessibleDescription(_bSelected ? QStringLiteral("selected") : QString());
}

void LXImageCellView::mousePressEvent(QMouseEvent *event) {
    LXView::mousePressEvent(event);
    if (_cellDelegate)
        _cellDelegate->selectImageCellViewAtIndexWithKey(this, _cellIndex, textKey());
}

void LXImageCellView::setBFocusRing(bool on) {
    if (_bFocusRing == on)
        return;
    _bFocusRing = on;
    update();
}

void LXImageCellView::drawContent(QPainter &p, const QRect &) {
    if (_bSelected) {
        if (_cellBackGroundImage.isNull())
            p.fillRect(rect(), Qt::red);
        else
            p.fillRect(rect(), QBrush(_cellBackGroundImage));
    }
    // The grid holds the focus; the cell shows where its cursor is.
    if (_bFocusRing) {
        QWidget *grid = parentWidget();
        while (grid && !qobject_cast<LXThumbImageTableView *>(grid))
            grid = grid->parentWidget();
        LXFocus::drawRing(p, grid, QRectF(rect()), 6);
    }
}

void LXImageCellView::buttonUp(LXButton *) {
    if (_cellDelegate)
        _cellDelegate->showMediaInfoWinAtWinIdxWithKey(this, _cellIndex, textKey());
}

// ---------------------------------------------------------------------------------------
// Grid

LXThumbImageTableView::LXThumbImageTableView(const QRectF &frame, QWidget *parent)
    : LXView(frame, parent), _size(frame.size()) {
    if (!parent)
        resize(int(frame.width()), int(frame.height()));
    const double W = frame.width(), H = frame.height();
    setBDrawBackground(false);
    _toLeftButton = new LXButton(QRectF(10, 60, 94, 24), this);
    _toLeftButton->setTextTitle(QString());
    _toLeftButton->setDelegate(this);
    _toRightButton = new LXButton(QRectF(W - 84, 60, 94, 24), this);
    _toRightButton->setTextTitle(QString());
    _toRightButton->setDelegate(this);
    _toLeftButton->setFocusPolicy(Qt::NoFocus);
    _toRightButton->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);

    _scrollView = new QScrollArea(this);
    _scrollView->setFrameShape(QFrame::NoFrame);
    // The grid itself is the keyboard's stop; its strip and arrows are the pointer's.
    _scrollView->setFocusPolicy(Qt::NoFocus);
    _scrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    _scrollView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    _scrollView->setWidgetResizable(false);
    _scrollView->viewport()->setAutoFillBackground(false);
    _scrollView->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    LXGeometry::place(_scrollView, QRectF(kSideSlot, 0, W - 2 * kSideSlot, H));

    _imageParentView = new LXView;
    _imageParentView->resize(int(W - 2 * kSideSlot), int(H));
    _imageParentView->setBDrawBackground(false);
    _imageParentView->setBUseScrollWheel(true);
    _imageParentView->setDelegate(this);
    _scrollView->setWidget(_imageParentView);
    updateDirectionButton();
}

void LXThumbImageTableView::placeArrow(LXButton *arrow, const QPixmap &p, bool left) {
    const QSizeF s = LXImage::pointSize(p);
    const double W = _size.width(), H = _size.height();
    const double x = left ? (kSideSlot - s.width()) / 2 : W - kSideSlot + (kSideSlot - s.width()) / 2;
    LXGeometry::place(arrow, QRectF(x, (H - s.height()) / 2, s.width(), s.height()));
}

void LXThumbImageTableView::setLeftArrowNormal(const QPixmap &p) {
    placeArrow(_toLeftButton, p, true);
    _toLeftButton->setNormalImage(p);
}
void LXThumbImageTableView::setLeftArrowPress(const QPixmap &p) {
    placeArrow(_toLeftButton, p, true);
    _toLeftButton->setPressImage(p);
}
void LXThumbImageTableView::setLeftArrowDisable(const QPixmap &p) {
    placeArrow(_toLeftButton, p, true);
    _toLeftButton->setDisableImage(p);
}
void LXThumbImageTableView::setRightArrowNormal(const QPixmap &p) {
    placeArrow(_toRightButton, p, false);
    _toRightButton->setNormalImage(p);
}
void LXThumbImageTableView::setRightArrowPress(const QPixmap &p) {
    placeArrow(_toRightButton, p, false);
    _toRightButton->setPressImage(p);
}
void LXThumbImageTableView::setRightArrowDisable(const QPixmap &p) {
    placeArrow(_toRightButton, p, false);
    _toRightButton->setDisableImage(p);
}

void LXThumbImageTableView::setScrollViewBg(const QPixmap &p) {
    _scrollView->setStyleSheet(QString());
    QPalette pal = _scrollView->viewport()->palette();
    pal.setBrush(_scrollView->viewport()->backgroundRole(), QBrush(p));
    _scrollView->viewport()->setPalette(pal);
    _scrollView->viewport()->setAutoFillBackground(true);
}

void LXThumbImageTableView::setCellBgAndSettingBtnImage(const QPixmap &cellBg, const QPixmap &setting) {
    _cellBgImage = cellBg;
    _settingImage = setting;
    for (LXImageCellView *c : _cells) {
        c->setCellBackGroundImage(cellBg);
        c->setSettingImage(setting);
    }
}

void LXThumbImageTableView::setCellTitleColor(const QColor &c) {
    _cellTitleColor = c;
    for (LXImageCellView *cell : _cells)
        cell->setTitleColor(c);
}

void LXThumbImageTableView::initDictionaryWithPrefix(const LXThumbCategories &categories, const QString &prefix) {
    _dictionary = categories;
    _categoryArray = categories.keys();
    if (!categories.isEmpty()) {
        _currentKey = _categoryArray.first();
        loadCategoryByMainKeyWithPrefix(_currentKey, prefix);
    }
}

void LXThumbImageTableView::loadCategoryByMediaTypeWithPrefix(int position, const QString &prefix) {
    if (position < 0 || position >= _categoryArray.size())
        return;
    loadCategoryByMainKeyWithPrefix(_categoryArray.at(position), prefix);
}

QString LXThumbImageTableView::pictureNameForKey(const QString &prefix, const QString &key) {
    const int dash = int(key.indexOf(QStringLiteral("--")));
    const QString part = dash < 0 ? key : key.mid(dash + 2);
    return (prefix + part).trimmed();
}

void LXThumbImageTableView::loadCategoryByMainKeyWithPrefix(const QString &category, const QString &prefix) {
    // Last first; deleted later, since the press that led here may still be in one of them.
    while (!_cells.empty()) {
        LXImageCellView *c = _cells.back();
        _cells.pop_back();
        c->setImageCellViewDelegate(nullptr);
        c->hide();
        c->deleteLater();
    }
    _objectArray.clear();
    _currentKey = category;
    QList<LXThumbItem> items = _dictionary.value(category);
    std::stable_sort(items.begin(), items.end(), [](const LXThumbItem &a, const LXThumbItem &b) {
        return QString::compare(a.key, b.key, Qt::CaseSensitive) < 0;
    });
    for (const LXThumbItem &item : items) {
        LXObject o;
        o.keyName = item.caption.isEmpty() ? item.key : item.caption;
        o.orderName = item.key;
        o.imagePath = LXImage::resourcePath(pictureNameForKey(prefix, item.key) + QStringLiteral(".png"));
        _objectArray.push_back(o);
    }
    buildCells();
    for (LXImageCellView *c : _cells) {
        c->setCellBackGroundImage(_cellBgImage);
        c->setSettingImage(_settingImage);
    }
    _scrollXDelta = 0;
    applyScroll();
    _focusIndex = _cells.empty() ? -1 : 0;
    showFocusRing();
}

bool LXThumbImageTableView::spreadsCells() const {
    return double(_objectArray.size()) * kCellPitch + kLeftMargin > visibleWidth();
}

double LXThumbImageTableView::cellPitch() const {
    if (!spreadsCells())
        return kCellPitch;
    const double whole = std::max(1.0, std::floor(visibleWidth() / kCellPitch));
    return visibleWidth() / whole;
}

double LXThumbImageTableView::contentWidth() const {
    const double n = double(_objectArray.size());
    return spreadsCells() ? n * cellPitch() : n * kCellPitch + kLeftMargin;
}

double LXThumbImageTableView::visibleWidth() const { return _size.width() - 2 * kSideSlot; }

void LXThumbImageTableView::buildCells() {
    const double n = double(_objectArray.size());
    const double pitch = cellPitch();
    // Spread cells sit in the middle of their share of the strip; the others start at the
    // margin, the whole row centred.
    const double first = spreadsCells()
                             ? (pitch - kCellWidth) / 2
                             : std::max(0.0, (visibleWidth() - (n * kCellPitch + kLeftMargin)) / 2) + kLeftMargin;
    for (size_t i = 0; i < _objectArray.size(); ++i) {
        const LXObject &o = _objectArray[i];
        auto *cell = new LXImageCellView(QSizeF(kCellWidth, kCellHeight), _imageParentView);
        LXGeometry::place(cell, QRectF(double(i) * pitch + first, kCellBottom, kCellWidth, kCellHeight));
        cell->setImageCellViewDelegate(this);
        cell->setCellIndex(int(i));
        cell->setImage(o.imagePath.isEmpty() ? QPixmap() : LXImage::fromPath(o.imagePath));
        cell->setTextLabelTitle(o.keyName);
        cell->setTextKey(o.orderName);
        if (_cellTitleColor)
            cell->setTitleColor(*_cellTitleColor);
        cell->show();
        _cells.push_back(cell);
    }
    // The strip grows to hold its content and never shrinks.
    if (contentWidth() > visibleWidth())
        _imageParentView->resize(int(std::ceil(contentWidth())), int(_size.height()));
    updateDirectionButton();
}

void LXThumbImageTableView::updateDirectionButton() {
    const double maxScroll = contentWidth() - visibleWidth();
    if (_objectArray.empty() || maxScroll <= 0) {
        _toLeftButton->setBEnabled(false);
        _toRightButton->setBEnabled(false);
    } else if (_scrollXDelta >= maxScroll) {
        _toLeftButton->setBEnabled(true);
        _toRightButton->setBEnabled(false);
    } else {
        _toLeftButton->setBEnabled(_scrollXDelta > 0);
        _toRightButton->setBEnabled(true);
    }
}

void LXThumbImageTableView::applyScroll() {
    const double maxScroll = contentWidth() - visibleWidth();
    // Narrow content keeps the strip at its start.
    if (_scrollXDelta > maxScroll)
        _scrollXDelta = maxScroll;
    if (_scrollXDelta < 0)
        _scrollXDelta = 0;
    // The scroll area learns the strip's new width only once it is laid out; the range is
    // known here already.
    QScrollBar *bar = _scrollView->horizontalScrollBar();
    const int range = std::max(0, _imageParentView->width() - int(std::lround(visibleWidth())));
    if (bar->maximum() < range)
        bar->setRange(0, range);
    bar->setValue(int(std::lround(_scrollXDelta)));
    updateDirectionButton();
}

void LXThumbImageTableView::scrollBy(double delta) {
    _scrollXDelta += delta;
    if (spreadsCells())
        _scrollXDelta = std::round(_scrollXDelta / cellPitch()) * cellPitch();
    applyScroll();
}

void LXThumbImageTableView::buttonUp(LXButton *button) {
    if (button == _toLeftButton)
        scrollBy(-cellPitch());
    else if (button == _toRightButton)
        scrollBy(cellPitch());
}

void LXThumbImageTableView::onScrollWheel(QWheelEvent *event) {
    // Against the wheel's direction, as the strip always went.
    if (const double delta = LXView::wheelDeltaY(event); delta != 0)
        scrollBy(delta > 0 ? -cellPitch() : cellPitch());
}

void LXThumbImageTableView::selectImageCellWithKey(const QString &title) {
    for (LXImageCellView *c : _cells) {
        if (c->cellTitle() == title)
            c->selectView();
        else
            c->unSelectView();
    }
}

std::optional<LXThumbItem> LXThumbImageTableView::dictFromSubKey(const QString &key) const {
    for (const LXThumbItem &item : _dictionary.value(_currentKey))
        if (item.key == key)
            return item;
    return std::nullopt;
}

void LXThumbImageTableView::selectCell(LXImageCellView *cell, const QString &key) {
    for (LXImageCellView *c : _cells)
        c->unSelectView();
    cell->selectView();
    // The keyboard goes on from the tile chosen last, however it was chosen.
    _focusIndex = cell->cellIndex();
    showFocusRing();
    if (_delegate)
        _delegate->selectCellWithDictionaryWithSubKey(key);
}

void LXThumbImageTableView::selectImageCellViewAtIndexWithKey(LXImageCellView *cell, int, const QString &key) {
    selectCell(cell, key);
}

void LXThumbImageTableView::showMediaInfoWinAtWinIdxWithKey(LXImageCellView *cell, int index, const QString &key) {
    selectCell(cell, key);
    if (_delegate)
        _delegate->showMediaInfoAtIndexWithKey(index, key);
}

void LXThumbImageTableView::setFocusIndex(int index) {
    if (_cells.empty()) {
        _focusIndex = -1;
        return;
    }
    _focusIndex = std::clamp(index, 0, int(_cells.size()) - 1);
    // The whole cell in view: the strip moves by the least whole number of cells.
    const double pitch = cellPitch();
    const double left = double(_focusIndex) * pitch, right = left + pitch;
    if (left < _scrollXDelta)
        scrollBy(left - _scrollXDelta);
    else if (right > _scrollXDelta + visibleWidth() + 0.5)
        scrollBy(right - visibleWidth() - _scrollXDelta);
    showFocusRing();
}

void LXThumbImageTableView::chooseCellAtIndex(int index) {
    if (index < 0 || index >= int(_cells.size()))
        return;
    LXImageCellView *cell = _cells[size_t(index)];
    selectCell(cell, cell->textKey());
}

void LXThumbImageTableView::showFocusRing() {
    const bool focused = hasFocus();
    for (LXImageCellView *c : _cells)
        c->setBFocusRing(focused && c->cellIndex() == _focusIndex);
}

bool LXThumbImageTableView::event(QEvent *event) {
    if (LXFocus::claimKeys(event, {Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_End, Qt::Key_Space,
                                   Qt::Key_Return, Qt::Key_Enter}))
        return true;
    return LXView::event(event);
}

void LXThumbImageTableView::keyPressEvent(QKeyEvent *event) {
    if (event->modifiers() & ~Qt::KeypadModifier) {
        LXView::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        setFocusIndex(_focusIndex - 1);
        break;
    case Qt::Key_Right:
        setFocusIndex(_focusIndex + 1);
        break;
    case Qt::Key_Home:
        setFocusIndex(0);
        break;
    case Qt::Key_End:
        setFocusIndex(int(_cells.size()) - 1);
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat())
            chooseCellAtIndex(_focusIndex);
        break;
    default:
        LXView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void LXThumbImageTableView::focusInEvent(QFocusEvent *event) {
    // The keyboard starts on the chosen format, where there is one.
    for (LXImageCellView *c : _cells)
        if (c->bSelected())
            _focusIndex = c->cellIndex();
    setFocusIndex(_focusIndex);
    LXView::focusInEvent(event);
}

void LXThumbImageTableView::focusOutEvent(QFocusEvent *event) {
    showFocusRing();
    LXView::focusOutEvent(event);
}
