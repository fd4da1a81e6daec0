#include "glazeform/LXConverWin.h"

#include "glazeform/LXGeometry.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QWindow>

namespace {
constexpr Qt::WindowFlags kFloatingFlags =
    Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint;
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
        &LXConvertWinViewDataSource::backgroundView,        &LXConvertWinViewDataSource::playController,
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

QPointF LXConverWinView::dragOrigin(const QPointF &o, const QPointF &d, const QSizeF &win, const QSizeF &screen, bool locked,
                                    const QRectF &lock) {
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
    _originalPoint = LXGeometry::qtToScreen(QRectF(window()->geometry())).topLeft();
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
    QWidget *win = window();
    const QPointF delta = LXGeometry::screenPointFromQt(event->globalPosition()) - _startPoint;
    auto *floating = qobject_cast<LXConverWin *>(win);
    const bool locked = floating && floating->lockWin();
    const QPointF origin = dragOrigin(_originalPoint, delta, win->size(), LXGeometry::mainScreenSize(), locked,
                                      floating ? floating->lockRect() : QRectF());
    if (locked && _dataSource)
        _dataSource->dragPoint(origin);
    const QRectF q = LXGeometry::screenToQt(QRectF(origin, QSizeF(win->size())));
    win->move(q.topLeft().toPoint());
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

LXConverWin::LXConverWin(const QRectF &frame, LXConvertWinViewDataSource *dataSource) : QWidget(nullptr, kFloatingFlags) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    setAttribute(Qt::WA_Hover);
    setScreenFrame(frame);
    _converView = new LXConverWinView(frame.size(), dataSource, this);
    _converView->setGeometry(0, 0, int(frame.width()), int(frame.height()));
    _converView->addControlOnConvertView();
}

LXConverWin::~LXConverWin() {
    if (_parentWin)
        _parentWin->removeEventFilter(this);
}

QRectF LXConverWin::screenFrame() const { return LXGeometry::qtToScreen(QRectF(geometry())); }

void LXConverWin::setScreenFrame(const QRectF &frame) { setGeometry(LXGeometry::screenToQt(frame).toRect()); }

LXConverWin *LXConverWin::showConverWinWithFrameConvertWinViewDelegateIsPlaying(const QRectF &frame,
                                                                               LXConvertWinViewDataSource *dataSource, bool) {
    if (!slot())
        slot() = new LXConverWin(frame, dataSource);
    LXConverWin *w = slot();
    w->show();
    w->raise();
    w->activateWindow();
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
    if (!fullScreen && parent) {
        removeFromParentWin();
        _parentWin = parent->window();
        _parentPos = _parentWin->pos();
        _parentWin->installEventFilter(this);
        if (!windowHandle())
            create();
        if (_parentWin->windowHandle())
            windowHandle()->setTransientParent(_parentWin->windowHandle());
        show();
        raise();
        return;
    }
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    show();
    raise();
    activateWindow();
}

void LXConverWin::removeFromParentWin() {
    if (!_parentWin)
        return;
    _parentWin->removeEventFilter(this);
    if (windowHandle())
        windowHandle()->setTransientParent(nullptr);
    _parentWin = nullptr;
}

bool LXConverWin::eventFilter(QObject *watched, QEvent *event) {
    // A child window travels with its parent.
    if (watched == _parentWin && event->type() == QEvent::Move) {
        const QPoint now = _parentWin->pos();
        move(pos() + (now - _parentPos));
        _parentPos = now;
    }
    return false;
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

LXCountdownWindow::LXCountdownWindow(const QRectF &contentRect) : QWidget(nullptr, kFloatingFlags) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(LXGeometry::screenToQt(contentRect).toRect());
}

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
    if (_parent)
        _parent->removeEventFilter(this);
    _parent = parent ? parent->window() : nullptr;
    if (!_parent)
        return;
    _parentPos = _parent->pos();
    _parent->installEventFilter(this);
    if (!windowHandle())
        create();
    if (_parent->windowHandle())
        windowHandle()->setTransientParent(_parent->windowHandle());
}

bool LXCountdownWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == _parent && event->type() == QEvent::Move) {
        const QPoint now = _parent->pos();
        move(pos() + (now - _parentPos));
        _parentPos = now;
    }
    return false;
}
