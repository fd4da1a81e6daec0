#include "glazeform/LXConverWin.h"

#include "glazeform/LXGeometry.h"

#include <QEnterEvent>
#include <QMouseEvent>

#include <algorithm>

namespace {
// Where a widget is on the screen, in lower-left points, whether it is a window or an overlay
// inside one. An overlay's "screen" is its window's idea of where it is: under Wayland no
// client learns where the compositor put its windows, but the window's own widgets agree
// with one another, and that is all an overlay needs.
QRectF screenFrameOf(const QWidget *w) {
    return LXGeometry::qtToScreen(QRectF(QRectF(w->mapToGlobal(QPoint(0, 0)), QSizeF(w->size()))));
}

void placeOnScreen(QWidget *w, const QRectF &frame) {
    const QRect global = LXGeometry::screenToQt(frame).toRect();
    if (QWidget *parent = w->isWindow() ? nullptr : w->parentWidget())
        w->setGeometry(QRect(parent->mapFromGlobal(global.topLeft()), global.size()));
    else
        w->setGeometry(global);
}

// Makes `w` an overlay of `host` (or a hidden window of its own, for no host) where it was on
// the screen. An overlay is a part of the window under it, not a window: the compositor
// cannot put it elsewhere, it goes wherever its window goes, and a click on it leaves the
// keyboard (and the window's Esc and Ctrl+W) with that window.
void reparentKeepingPlace(QWidget *w, QWidget *host) {
    if (w->parentWidget() == host)
        return;
    const QRectF frame = screenFrameOf(w);
    w->setParent(host);
    placeOnScreen(w, frame);
}
} // namespace

// ---------------------------------------------------------------------------------------
// Content view

LXConverWinView::LXConverWinView(const QSizeF &size, LXConvertWinViewDataSource *dataSource, QWidget *parent)
    : QWidget(parent), _delegate(dataSource), _dataSource(dataSource) {
    resize(size.toSize());
    setAttribute(Qt::WA_Hover);
}

void LXConverWinView::addControlOnConvertView() {
    if (!_dataSource)
        return;
    using Request = QWidget *(LXConvertWinViewDataSource::*)(LXConverWinView *);
    static const Request order[] = {
        &LXConvertWinViewDataSource::backgroundView,         &LXConvertWinViewDataSource::playController,
        &LXConvertWinViewDataSource::playInEditorController, &LXConvertWinViewDataSource::voiceLogoController,
        &LXConvertWinViewDataSource::voiceSliderController,  &LXConvertWinViewDataSource::exitFullScreenController,
        &LXConvertWinViewDataSource::nextController,         &LXConvertWinViewDataSource::previousController,
        &LXConvertWinViewDataSource::progressController,     &LXConvertWinViewDataSource::cutSliderController,
        &LXConvertWinViewDataSource::leftLabelController,    &LXConvertWinViewDataSource::rightLabelController,
        &LXConvertWinViewDataSource::backController,         &LXConvertWinViewDataSource::exportController,
        &LXConvertWinViewDataSource::trimController,         &LXConvertWinViewDataSource::cancelTrimController,
        &LXConvertWinViewDataSource::startLabelController,   &LXConvertWinViewDataSource::endLabelController,
    };
    for (Request r : order) {
        QWidget *w = (_dataSource->*r)(this);
        if (!w)
            continue;
        if (w->parentWidget() != this) {
            const QRectF frame = LXGeometry::frameOf(w);
            w->setParent(this);
            LXGeometry::place(w, frame);
        }
        w->raise(); // later controls lie above earlier ones
        w->show();
        _controls.append(w);
    }
}

void LXConverWinView::clearAutoHideTime() {
    if (_delegate)
        _delegate->restoreAutoHideTime();
}

QPointF LXConverWinView::dragOrigin(const QPointF &o, const QPointF &d, const QSizeF &win, const QSizeF &screen,
                                    bool locked, const QRectF &lock) {
    const double W = win.width(), H = win.height();
    double x = std::max(0.0, o.x() + d.x());
    if (x + W > screen.width())
        x = screen.width() - W;
    double y = std::max(0.0, o.y() + d.y());
    if (y + H > screen.height())
        y = screen.height() - H;
    if (locked) {
        const double lx = lock.x(), ly = lock.y(), lw = lock.width(), lh = lock.height();
        if (x < lx)
            x = lx;
        if (y < ly)
            y = ly;
        if (x + W > lx + lw)
            x = lx + lw - W;
        if (y + H > ly + lh - 22)
            y = ly + lh - H - 22;
    }
    return QPointF(x, y);
}

void LXConverWinView::enterEvent(QEnterEvent *event) {
    QWidget::enterEvent(event);
    if (_dataSource)
        _dataSource->mouseEnterOnConverWinView();
}

void LXConverWinView::leaveEvent(QEvent *event) {
    QWidget::leaveEvent(event);
    if (_dataSource)
        _dataSource->mouseExitedOnConverWinView();
}

void LXConverWinView::mousePressEvent(QMouseEvent *event) {
    event->accept();
    if (_dataSource)
        _dataSource->mouseDownOnConverWinView();
    clearAutoHideTime();
    _startPoint = LXGeometry::screenPointFromQt(event->globalPosition());
    _originalPoint = screenFrameOf(draggedWidget()).topLeft();
}

QWidget *LXConverWinView::draggedWidget() const {
    // The floating bar when the view is its content, else whatever window holds the view.
    if (auto *floating = qobject_cast<LXConverWin *>(parentWidget()))
        return floating;
    return window();
}

void LXConverWinView::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
    if (!(event->buttons() & Qt::LeftButton))
        return;
    // Main thread only; the lock keeps a step that re-enters the event loop (a data source
    // showing something) from interleaving with the next one.
    std::unique_lock lock(_dragLock, std::try_to_lock);
    if (!lock.owns_lock())
        return;
    clearAutoHideTime();
    QWidget *win = draggedWidget();
    const QPointF delta = LXGeometry::screenPointFromQt(event->globalPosition()) - _startPoint;
    auto *floating = qobject_cast<LXConverWin *>(win);
    const bool locked = floating && floating->lockWin();
    const QPointF origin = dragOrigin(_originalPoint, delta, win->size(), LXGeometry::mainScreenSize(), locked,
                                      floating ? floating->lockRect() : QRectF());
    if (locked && _dataSource)
        _dataSource->dragPoint(origin);
    placeOnScreen(win, QRectF(origin, QSizeF(win->size())));
}

void LXConverWinView::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    clearAutoHideTime();
}

// ---------------------------------------------------------------------------------------
// Window

QPointer<LXConverWin> &LXConverWin::slot() {
    static QPointer<LXConverWin> win;
    return win;
}

LXConverWin *LXConverWin::convertWin() { return slot().data(); }

LXConverWin::LXConverWin(const QRectF &frame, LXConvertWinViewDataSource *dataSource)
    : QWidget(nullptr, Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_Hover);
    setScreenFrame(frame);
    _converView = new LXConverWinView(frame.size(), dataSource, this);
    _converView->setGeometry(0, 0, int(frame.width()), int(frame.height()));
    _converView->addControlOnConvertView();
}

LXConverWin::~LXConverWin() = default;

QRectF LXConverWin::screenFrame() const { return screenFrameOf(this); }

void LXConverWin::setScreenFrame(const QRectF &frame) { placeOnScreen(this, frame); }

LXConverWin *LXConverWin::showConverWinWithFrameConvertWinViewDelegateIsPlaying(const QRectF &frame,
                                                                                LXConvertWinViewDataSource *dataSource,
                                                                                bool) {
    if (!slot())
        slot() = new LXConverWin(frame, dataSource);
    LXConverWin *w = slot();
    w->show();
    w->raise();
    return w;
}

LXConverWin *LXConverWin::showConverWinAsChildWithFrameConvertWinViewDelegateIsPlayingParentWin(
    const QRectF &frame, LXConvertWinViewDataSource *dataSource, bool, QWidget *) {
    if (!slot())
        slot() = new LXConverWin(frame, dataSource);
    return slot();
}

void LXConverWin::destrayAsChildConverWin(bool fullScreen) {
    LXConverWin *w = slot();
    if (!w)
        return;
    slot() = nullptr;
    if (!fullScreen)
        w->removeFromParentWin();
    w->hide();
    w->deleteLater();
}

void LXConverWin::destrayConverWin() {
    LXConverWin *w = slot();
    if (!w)
        return;
    slot() = nullptr;
    w->hide();
    w->deleteLater();
}

void LXConverWin::addToParentWindowIsFullScreen(QWidget *parent, bool fullScreen) {
    // Full screen or not, the bar lies on the window that shows the picture: the full-screen
    // window is a window of its own.
    (void)fullScreen;
    QWidget *host = parent ? parent->window() : nullptr;
    if (!host) {
        show();
        raise();
        return;
    }
    reparentKeepingPlace(this, host);
    _parentWin = host;
    show();
    raise();
}

void LXConverWin::removeFromParentWin() {
    if (!_parentWin)
        return;
    _parentWin = nullptr;
    hide();
    reparentKeepingPlace(this, nullptr);
}

void LXConverWin::enterEvent(QEnterEvent *event) {
    QWidget::enterEvent(event);
    if (_converWinDelegate)
        _converWinDelegate->mouseEnterCoverWin(event);
}

void LXConverWin::leaveEvent(QEvent *event) {
    QWidget::leaveEvent(event);
    if (_converWinDelegate)
        _converWinDelegate->mouseExitCoverWin(event);
}

// ---------------------------------------------------------------------------------------
// Countdown window

LXCountdownWindow::LXCountdownWindow(const QRectF &contentRect) : QWidget(nullptr, Qt::FramelessWindowHint) {
    setFocusPolicy(Qt::StrongFocus);
    setScreenFrame(contentRect);
}

QRectF LXCountdownWindow::screenFrame() const { return screenFrameOf(this); }

void LXCountdownWindow::setScreenFrame(const QRectF &frame) { placeOnScreen(this, frame); }

void LXCountdownWindow::setContentView(QWidget *view) {
    if (_content == view)
        return;
    delete _content;
    _content = view;
    if (view) {
        view->setParent(this);
        view->setGeometry(rect());
        view->show();
    }
}

void LXCountdownWindow::resizeEvent(QResizeEvent *) {
    if (_content)
        _content->setGeometry(rect());
}

void LXCountdownWindow::attachToWindow(QWidget *parent) {
    QWidget *host = parent ? parent->window() : nullptr;
    const bool shown = isVisible() && host;
    reparentKeepingPlace(this, host);
    if (shown)
        show();
    if (host)
        raise();
}
