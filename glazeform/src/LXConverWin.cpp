#include "glazeform/LXConverWin.h"

#include "glazeform/LXGeometry.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
// The floating windows are controls of the window under them, not windows of their own: a
// click on them must leave the keyboard (and its Esc and Ctrl+W) with that window.
constexpr Qt::WindowFlags kFloatingFlags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                           Qt::NoDropShadowWindowHint | Qt::WindowDoesNotAcceptFocus;

xcb_atom_t internAtom(xcb_connection_t *c, const char *name) {
    xcb_intern_atom_reply_t *r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

// Qt's window flags cannot keep a window out of task bars and pagers; under X11 the window
// manager is asked directly. An unmapped window carries the state in its property (Qt keeps
// states it does not manage when it maps the window); a mapped one asks through the root.
void keepOutOfTaskBars(QWidget *w) {
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    const auto id = xcb_window_t(w->winId());
    const xcb_atom_t state = internAtom(c, "_NET_WM_STATE");
    const xcb_atom_t wanted[] = {internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 internAtom(c, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE || wanted[0] == XCB_ATOM_NONE || wanted[1] == XCB_ATOM_NONE)
        return;
    if (!w->isVisible()) {
        std::vector<xcb_atom_t> atoms;
        if (xcb_get_property_reply_t *r =
                xcb_get_property_reply(c, xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 64), nullptr)) {
            const auto *v = static_cast<const xcb_atom_t *>(xcb_get_property_value(r));
            if (r->format == 32)
                atoms.assign(v, v + xcb_get_property_value_length(r) / 4);
            std::free(r);
        }
        for (xcb_atom_t a : wanted)
            if (std::find(atoms.begin(), atoms.end(), a) == atoms.end())
                atoms.push_back(a);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, uint32_t(atoms.size()),
                            atoms.data());
    } else {
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, id), nullptr);
        if (!tree)
            return;
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = id;
        ev.type = state;
        ev.data.data32[0] = 1; // add
        ev.data.data32[1] = wanted[0];
        ev.data.data32[2] = wanted[1];
        ev.data.data32[3] = 1; // from an application
        xcb_send_event(c, 0, tree->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&ev));
        std::free(tree);
    }
    xcb_flush(c);
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

LXConverWin::LXConverWin(const QRectF &frame, LXConvertWinViewDataSource *dataSource)
    : QWidget(nullptr, kFloatingFlags) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    setAttribute(Qt::WA_Hover);
    setScreenFrame(frame);
    _converView = new LXConverWinView(frame.size(), dataSource, this);
    _converView->setGeometry(0, 0, int(frame.width()), int(frame.height()));
    _converView->addControlOnConvertView();
    keepOutOfTaskBars(this);
}

LXConverWin::~LXConverWin() {
    if (_parentWin)
        _parentWin->removeEventFilter(this);
}

QRectF LXConverWin::screenFrame() const { return LXGeometry::qtToScreen(QRectF(geometry())); }

void LXConverWin::setScreenFrame(const QRectF &frame) { setGeometry(LXGeometry::screenToQt(frame).toRect()); }

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
    // Over the full-screen picture, which keeps the keyboard. The window manager puts a
    // focused full-screen window above every other, the bar too, unless the bar belongs to it.
    removeFromParentWin();
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (!windowHandle())
        create();
    QWidget *owner = parent ? parent->window() : nullptr;
    if (owner && owner->windowHandle())
        windowHandle()->setTransientParent(owner->windowHandle());
    keepOutOfTaskBars(this); // a changed flag may have made a new native window
    show();
    raise();
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
    keepOutOfTaskBars(this);
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
