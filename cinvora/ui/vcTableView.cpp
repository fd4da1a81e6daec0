#include "vcTableView.h"

#include "vcTableCellWidget.h"

#include <glazeform/LXCustomScroller.h>
#include <glazeform/LXFocus.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXImageView.h>

#include <QDragEnterEvent>
#include <QPainter>
#include <QSet>
#include <QWheelEvent>
#include <cmath>

vcTableView::vcTableView(QWidget *parent) : QWidget(parent) {
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    _viewport = new QWidget(this);
    _viewport->setAttribute(Qt::WA_NoSystemBackground);
    _scroller = new LXCustomScroller(Qt::Vertical, this);
    _scroller->setXDetal(0.5);
    _scroller->setFgVerKnobImage(LXImage::named(QStringLiteral("ODVScrollerFg.png")));
    _scroller->setFgVerKnobTopImage(LXImage::named(QStringLiteral("ODVScrollerFgSplit.png")));
    _scroller->setBgVerKnobImage(LXImage::named(QStringLiteral("ODVScrollerBg.png")));
    _scroller->setSingleStep(20);
    _scroller->setRange(0, 0);
    connect(_scroller, &QScrollBar::valueChanged, this, [this] { layoutRows(); });
}

vcTableView::~vcTableView() { unbindAll(); }

double vcTableView::columnWidth() const { return std::max(0, width() - kScrollerWidth); }

QRectF vcTableView::initRect() const { return QRectF(0, 0, columnWidth(), tableCellRowHgt); }

int vcTableView::scrollOffset() const { return _scroller->value(); }

void vcTableView::unbindAll() {
    for (vcTableCellWidget *w : _pool) {
        w->setJob(nullptr);
        w->hide();
    }
    _bound.clear();
    _first = 0;
    _last = -1;
}

void vcTableView::reloadData() {
    _rows = _dataSource ? std::max<int64_t>(0, _dataSource->numberOfRowsInTableView(this)) : 0;
    updateScrollRange();
    layoutRows();
}

void vcTableView::updateScrollRange() {
    const int64_t content = _rows * tableCellRowHgt;
    const int page = std::max(1, _viewport->height());
    const int maxScroll = int(std::max<int64_t>(0, content - page));
    const QSignalBlocker block(_scroller);
    _scroller->setPageStep(page);
    _scroller->setRange(0, maxScroll);
    _scroller->update();
}

void vcTableView::scrollRowToVisible(int64_t row) {
    if (row < 0 || row >= _rows)
        return;
    const int64_t top = row * tableCellRowHgt;
    const int64_t bottom = top + tableCellRowHgt;
    const int value = _scroller->value();
    const int page = _viewport->height();
    if (top < value)
        _scroller->setValue(int(top));
    else if (bottom > value + page)
        _scroller->setValue(int(bottom - page));
}

void vcTableView::refreshSelection(const vcTableCellView *job) {
    if (vcTableCellWidget *w = widgetForJob(job)) {
        const bool selected = _dataSource && _dataSource->tableViewIsJobSelected(this, job);
        if (w->isSelectedRow() != selected)
            w->selectCurItem(selected);
    }
}

void vcTableView::refreshVisibleRows() {
    for (auto it = _bound.cbegin(); it != _bound.cend(); ++it) {
        it.value()->updateCell();
        refreshSelection(it.key());
    }
}

bool vcTableView::showsFocusRingFor(const vcTableCellView *job) const {
    return job && _dataSource && LXFocus::showsRing(this) &&
           _dataSource->tableViewIsJobCurrent(const_cast<vcTableView *>(this), job);
}

void vcTableView::focusInEvent(QFocusEvent *event) {
    for (vcTableCellWidget *w : std::as_const(_bound))
        w->update();
    QWidget::focusInEvent(event);
}

void vcTableView::focusOutEvent(QFocusEvent *event) {
    for (vcTableCellWidget *w : std::as_const(_bound))
        w->update();
    QWidget::focusOutEvent(event);
}

vcTableCellWidget *vcTableView::widgetForJob(const vcTableCellView *job) const {
    return job ? _bound.value(job, nullptr) : nullptr;
}

vcTableCellWidget *vcTableView::widgetAtRow(int64_t row) const {
    if (!_dataSource || row < _first || row > _last)
        return nullptr;
    const vcTableCellViewPtr job = _dataSource->tableViewJobForRow(const_cast<vcTableView *>(this), row);
    return widgetForJob(job.get());
}

vcTableCellWidget *vcTableView::takeWidget() {
    for (vcTableCellWidget *w : _pool)
        if (!w->job())
            return w;
    auto *w = new vcTableCellWidget(columnWidth(), _viewport);
    _pool.push_back(w);
    return w;
}

void vcTableView::layoutRows() {
    if (_layingOut)
        return;
    _layingOut = true;
    const int value = _scroller->value();
    const int page = _viewport->height();
    const int width = int(columnWidth());
    int64_t first = value / tableCellRowHgt;
    int64_t last = _rows == 0 || page <= 0
                       ? first - 1
                       : std::min<int64_t>(_rows - 1, (int64_t(value) + page - 1) / tableCellRowHgt);
    std::vector<vcTableCellViewPtr> visible;
    if (_dataSource)
        for (int64_t i = first; i <= last; ++i)
            visible.push_back(_dataSource->tableViewJobForRow(this, i));
    QSet<const vcTableCellView *> wanted;
    for (const vcTableCellViewPtr &job : visible)
        if (job)
            wanted.insert(job.get());
    // Widgets whose job scrolled away (or left the list) are freed first, so that they can
    // take the newly visible jobs.
    for (auto it = _bound.begin(); it != _bound.end();) {
        if (!wanted.contains(it.key())) {
            it.value()->setJob(nullptr);
            it.value()->hide();
            it = _bound.erase(it);
        } else {
            ++it;
        }
    }
    for (size_t k = 0; k < visible.size(); ++k) {
        const vcTableCellViewPtr &job = visible[k];
        if (!job)
            continue;
        vcTableCellWidget *w = _bound.value(job.get(), nullptr);
        if (!w) {
            w = takeWidget();
            w->setJob(job);
            _bound.insert(job.get(), w);
        }
        const int64_t row = first + int64_t(k);
        w->setGeometry(0, int(row * tableCellRowHgt - value), width, tableCellRowHgt);
        const bool selected = _dataSource && _dataSource->tableViewIsJobSelected(this, job.get());
        if (w->isSelectedRow() != selected)
            w->selectCurItem(selected);
        w->show();
    }
    _first = first;
    _last = last;
    _layingOut = false;
}

void vcTableView::resizeEvent(QResizeEvent *) {
    _viewport->setGeometry(0, 0, int(columnWidth()), height());
    _scroller->setGeometry(width() - kScrollerWidth, 0, kScrollerWidth, height());
    updateScrollRange();
    layoutRows();
}

void vcTableView::wheelEvent(QWheelEvent *event) {
    double dy = 0;
    if (!event->pixelDelta().isNull())
        dy = event->pixelDelta().y();
    else
        dy = event->angleDelta().y() / 120.0 * 3 * _scroller->singleStep();
    if (dy == 0) {
        event->ignore();
        return;
    }
    event->accept();
    _scroller->setValue(_scroller->value() - int(std::lround(dy)));
}

void vcTableView::paintEvent(QPaintEvent *) {
    QPainter p(this);
    LXImage::drawAtViewFrame(p, LXImage::named(QStringLiteral("ODTableViewBg.png")),
                             QRectF(0, 0, columnWidth(), height()));
}

void vcTableView::dragEnterEvent(QDragEnterEvent *event) {
    // A drag that started in the list itself is not a new file.
    if (event->source() != this && !LXImageView::filePaths(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void vcTableView::dragMoveEvent(QDragMoveEvent *event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void vcTableView::dropEvent(QDropEvent *event) {
    const QStringList paths = LXImageView::filePaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (_dataSource)
        _dataSource->tableViewConcludeDragFile(this, paths);
}
