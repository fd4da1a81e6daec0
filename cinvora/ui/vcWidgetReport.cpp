#include "vcWidgetReport.h"

#include <glazeform/LXPopUpButton.h>
#include <glazeform/LXButton.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXSlider.h>
#include <glazeform/LXThumbImageTableView.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <QTextEdit>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    // Nothing else is safe here; the main thread does the work when the pipe wakes it.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &c, 1);
}

QJsonArray rectArray(const QRect &r) { return QJsonArray{r.x(), r.y(), r.width(), r.height()}; }

QString textOf(const QWidget *w) {
    if (auto *l = qobject_cast<const LXLabel *>(w))
        return l->displayedText();
    if (auto *b = qobject_cast<const LXButton *>(w))
        return b->textTitle();
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (auto *m = qobject_cast<const LXMenuItem *>(w))
        return m->itemStringValue();
    if (auto *c = qobject_cast<const QComboBox *>(w))
        return c->currentText();
    if (auto *s = qobject_cast<const QSpinBox *>(w))
        return s->text();
    if (auto *e = qobject_cast<const QTextEdit *>(w))
        return e->toPlainText();
    if (auto *e = qobject_cast<const QPlainTextEdit *>(w))
        return e->toPlainText();
    return w->accessibleName();
}

QJsonObject describe(const QWidget *w) {
    QJsonObject o;
    o[QStringLiteral("class")] = QString::fromLatin1(w->metaObject()->className());
    if (!w->objectName().isEmpty())
        o[QStringLiteral("name")] = w->objectName();
    const QString text = textOf(w);
    if (!text.isEmpty())
        o[QStringLiteral("text")] = text;
    if (!w->toolTip().isEmpty())
        o[QStringLiteral("toolTip")] = w->toolTip();
    if (!w->accessibleName().isEmpty())
        o[QStringLiteral("accessibleName")] = w->accessibleName();
    if (auto *cell = qobject_cast<const LXImageCellView *>(w); cell && cell->bFocusRing())
        o[QStringLiteral("focusRing")] = true;
    if (auto *b = qobject_cast<const LXButton *>(w); b && !b->keyHint().isEmpty())
        o[QStringLiteral("shownToolTip")] = b->shownToolTip();
    if (auto *l = qobject_cast<const QLabel *>(w); l && !l->text().isEmpty()) {
        // What the text needs at the label's width, laid out as the label lays it out: wider
        // than the label means part of it is cut off.
        const int wrap = l->wordWrap() ? int(Qt::TextWordWrap) : 0;
        const QRect need = l->fontMetrics().boundingRect(l->contentsRect(), int(l->alignment()) | wrap, l->text());
        o[QStringLiteral("textSize")] = QJsonArray{need.width(), need.height()};
        if (l->textInteractionFlags() & Qt::TextSelectableByMouse)
            o[QStringLiteral("selectable")] = true;
    }
    if (auto *l = qobject_cast<const LXLabel *>(w); l && !l->displayedText().isEmpty()) {
        // A drawn label clips what its width cannot hold (an elided one holds what it shows).
        const QRectF r = l->textRect();
        o[QStringLiteral("textFits")] = r.left() >= -0.5 && r.right() <= l->width() + 0.5;
    }
    if (auto *e = qobject_cast<const QLineEdit *>(w); e && e->isReadOnly())
        o[QStringLiteral("readOnly")] = true;
    if (auto *a = qobject_cast<const QAbstractScrollArea *>(w))
        o[QStringLiteral("scrollRange")] =
            QJsonArray{a->horizontalScrollBar()->maximum(), a->verticalScrollBar()->maximum()};
    o[QStringLiteral("rect")] = rectArray(QRect(w->mapToGlobal(QPoint(0, 0)), w->size()));
    if (!w->isEnabled())
        o[QStringLiteral("enabled")] = false;
    if (auto *b = qobject_cast<const QAbstractButton *>(w); b && b->isCheckable())
        o[QStringLiteral("checked")] = b->isChecked();
    if (auto *s = qobject_cast<const QAbstractSlider *>(w))
        o[QStringLiteral("value")] = s->value();
    if (auto *s = qobject_cast<const LXSlider *>(w))
        o[QStringLiteral("value")] = s->curPosition();
    if (w->hasFocus())
        o[QStringLiteral("focus")] = true;
    // Custom-drawn controls say their highlight with a "selected" property.
    if (const QVariant selected = w->property("selected"); selected.isValid())
        o[QStringLiteral("selected")] = selected.toBool();
    return o;
}

void collect(const QWidget *w, QJsonArray &out) {
    for (const QObject *child : w->children()) {
        auto *cw = qobject_cast<const QWidget *>(child);
        if (!cw || cw->isWindow() || !cw->isVisible())
            continue;
        out.append(describe(cw));
        collect(cw, out);
    }
}

void writeReport() {
    char buf[64];
    while (::read(g_pipe[0], buf, sizeof buf) > 0) {
    }
    QSaveFile f(qEnvironmentVariable("CINVORA_WIDGET_REPORT"));
    if (f.open(QIODevice::WriteOnly)) {
        f.write(vcWidgetReport::report());
        f.commit();
    }
}

} // namespace

QByteArray vcWidgetReport::report() {
    QJsonArray windows;
    for (const QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible())
            continue;
        QJsonObject o = describe(w);
        o[QStringLiteral("title")] = w->windowTitle();
        o[QStringLiteral("frame")] = rectArray(w->frameGeometry());
        o[QStringLiteral("active")] = w->isActiveWindow();
        // A pop-up is placed against the window it hangs from: a Wayland client learns
        // where that one is only from the compositor, so the reader needs to know which.
        if (const QWidget *p = w->parentWidget())
            o[QStringLiteral("parentWindow")] = p->window()->windowTitle();
        QJsonArray widgets;
        collect(w, widgets);
        o[QStringLiteral("widgets")] = widgets;
        windows.append(o);
    }
    QJsonObject root;
    root[QStringLiteral("windows")] = windows;
    if (const QWidget *f = QApplication::focusWidget())
        root[QStringLiteral("focus")] = describe(f);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

void vcWidgetReport::installFromEnvironment() {
    if (qEnvironmentVariableIsEmpty("CINVORA_WIDGET_REPORT") || g_pipe[0] >= 0)
        return;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { writeReport(); });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &sa, nullptr);
}
