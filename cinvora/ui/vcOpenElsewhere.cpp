#include "vcOpenElsewhere.h"

#include <vcCommon.h>

#include <foundation/Alerts.h>
#include <foundation/Reveal.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace vcOpenElsewhere {
namespace {

QString tr(const char *text) { return QCoreApplication::translate("vcOpenElsewhere", text); }

void sayUnanswered(const QPointer<QWidget> &over, const QString &title, const QString &what) {
    if (!over)
        return;
    QMessageBox *box = foundation::Alerts::showSheet(over->window(), {title, what, vcCommon::okStr(), {}, {}, {}}, {});
    if (!box)
        return;
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    for (QLabel *label : box->findChildren<QLabel *>()) {
        if (label->text() != what)
            continue;
        // Selectable labels take focus only from a click; the address must be reachable
        // from the keyboard too, to be selected and copied there.
        label->setFocusPolicy(Qt::StrongFocus);
        label->setAccessibleName(what);
        label->setAccessibleDescription(title);
    }
}

} // namespace

void openUrl(QWidget *over, const QUrl &url) {
    const QString what = foundation::Reveal::handedOverText(url);
    const QPointer<QWidget> guard(over);
    foundation::Reveal::openUrl(url, [guard, what] {
        sayUnanswered(guard, tr("No program on this computer opened this address. You can copy it from here:"), what);
    });
}

void showInFolder(QWidget *over, const QString &path) {
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    const QPointer<QWidget> guard(over);
    foundation::Reveal::showInFileManager(path, [guard, path] {
        sayUnanswered(guard, tr("No file manager showed this item. You can copy its path from here:"), path);
    });
}

} // namespace vcOpenElsewhere
