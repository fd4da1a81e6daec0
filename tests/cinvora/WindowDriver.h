#pragma once
// Drives the main window the way a person does: drops on its surface, clicks on its
// controls, keys on the active window. Sheets are answered by a scripted responder, the
// desktop's file manager and mail program by a recorder.
#include "ODMyDocumentWindow.h"
#include "ODPreviewView.h"
#include "vcTableCellWidget.h"

#include "TestSupport.h"

#include <foundation/Alerts.h>
#include <foundation/MainThread.h>
#include <foundation/Reveal.h>
#include <foundation/Settings.h>
#include <foundation/Strings.h>
#include <glazeform/LXThumbImageTableView.h>
#include <vcCommon.h>
#include <vcFormatChoice.h>
#include <vcHistory.h>

#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QUrl>
#include <QWindow>
#include <deque>
#include <memory>

namespace windowtest {

// Mouse events straight to a widget, at a point in its own (Qt) coordinates.
inline void mouse(QWidget *w, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
inline void click(QWidget *w, QPointF at) {
    mouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton);
    mouse(w, QEvent::MouseButtonRelease, at, Qt::NoButton);
}
inline void click(QWidget *w) { click(w, QPointF(w->width() / 2.0, w->height() / 2.0)); }
inline void doubleClick(QWidget *w, QPointF at) {
    click(w, at);
    mouse(w, QEvent::MouseButtonDblClick, at, Qt::LeftButton);
    mouse(w, QEvent::MouseButtonRelease, at, Qt::NoButton);
}

// Drops files on the window at a point of `target`, through the window's own routing of
// drag events (enter, move, drop), as a file manager's drag arrives. True when accepted.
inline bool dropFiles(QWidget *target, const QStringList &paths) {
    QWidget *top = target->window();
    QWindow *handle = top->windowHandle();
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    const QPoint at = target->mapTo(top, QPoint(target->width() / 2, target->height() / 2));
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    if (!move.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &drop);
    return drop.isAccepted();
}

// A window for one test, with fresh settings and recorders.
struct Session {
    std::unique_ptr<ODMyDocumentWindow> window;
    QString out;
    std::deque<foundation::AlertButton> answers; // scripted replies, Default when empty
    QStringList questions;
    QStringList revealed; // "show <path>" and "open <url>"

    explicit Session(int limit = 2) {
        // The list page's player plays into no sound device.
        SWPlayer::setDefaultAudioOutput(QStringLiteral("null"));
        // Each test starts from an empty saved list.
        vcCommon::removeAllFilePathFromBookmark();
        vcHistory().write({});
        out = testsupport::freshDir("out");
        vcCommon::setExportMovieFolder(out);
        vcCommon::setMaxConvertingCountSameTime(limit);
        // Re-encode, so that conversions last long enough to be seen in every state.
        vcCommon::setAutoCheckStreamCopyWhenSameCodec(false);
        foundation::Settings::setValue("cancelAll", false);
        // Each test starts from the default format, not from what the last one chose.
        vcFormatChoice::clearStored();
        foundation::Alerts::setResponderForTesting([this](const foundation::AlertRequest &r) {
            questions << r.title;
            if (answers.empty())
                return std::optional(foundation::AlertButton::Default);
            const auto b = answers.front();
            answers.pop_front();
            return std::optional(b);
        });
        foundation::Reveal::setHandlerForTesting([this](const QString &what, const QString &target) {
            revealed << what + " " + target;
            return true;
        });
        open();
    }
    ~Session() {
        window.reset();
        foundation::Alerts::setResponderForTesting({});
        foundation::Reveal::setHandlerForTesting({});
        ODMyDocumentWindow::setFolderChooserForTesting({});
        ODMyDocumentWindow::setFileChooserForTesting({});
    }
    // A new window, as at a start of the program.
    void open() {
        window = std::make_unique<ODMyDocumentWindow>();
        window->show();
        activate();
        window->document().loadHistoryAtLuanch();
        idle();
    }
    void activate() {
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        testsupport::waitFor([&] { return window->isActiveWindow(); }, 2000);
    }
    ODDocument &doc() { return window->document(); }
    // No intake or rebuild runs and its sheet is gone.
    bool idle(int timeoutMs = 60000) {
        const bool done =
            testsupport::waitFor([&] { return !doc().isAdding() && !window->addProgressController(); }, timeoutMs);
        // The window manager hands the focus back to the window when its sheet closes.
        activate();
        return done;
    }
    bool add(const QStringList &paths) {
        const int64_t before = doc().numberOfRows();
        QWidget *target = window->tipView()->isVisible() ? static_cast<QWidget *>(window->tipImageView())
                                                         : static_cast<QWidget *>(window->comboBoxTableView());
        if (!dropFiles(target, paths))
            return false;
        return testsupport::waitFor([&] { return doc().numberOfRows() >= before + paths.size(); }, 60000) && idle();
    }
    vcTableCellViewPtr job(int i) { return doc().cellArray()[size_t(i)]; }
    // The row widget showing job i, scrolling it into view.
    vcTableCellWidget *row(int i) {
        window->comboBoxTableView()->scrollRowToVisible(i);
        return window->comboBoxTableView()->widgetForJob(job(i).get());
    }
    void key(Qt::Key k) { QTest::keyClick(window.get(), k); }
    LXButton *category(const QString &name) {
        for (LXButton *b : window->categoryButtons())
            if (b->textTitle() == name)
                return b;
        return nullptr;
    }
    LXImageCellView *cell(const QString &title) {
        for (LXImageCellView *c : window->thumbImageTableView()->cells())
            if (c->cellTitle() == title)
                return c;
        return nullptr;
    }
};

} // namespace windowtest
