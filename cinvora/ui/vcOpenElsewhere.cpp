#include "vcOpenElsewhere.h"

#include <vcCommon.h>

#include <foundation/Alerts.h>
#include <foundation/Reveal.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>

namespace vcOpenElsewhere {
namespace {

QString tr(const char *text) { return QCoreApplication::translate("vcOpenElsewhere", text); }

void sayUnanswered(const QPointer<QWidget> &over, const QString &title, const QString &what, const QString &name) {
    if (over)
        foundation::Alerts::showSheetWithCopyableText(over->window(), {title, {}, vcCommon::okStr(), {}, {}, {}}, what,
                                                      name, {});
}

} // namespace

void openUrl(QWidget *over, const QUrl &url) {
    const QString what = foundation::Reveal::handedOverText(url);
    const QPointer<QWidget> guard(over);
    foundation::Reveal::openUrl(url, [guard, what] {
        sayUnanswered(guard, tr("No program on this computer opened this address. You can copy it from here:"), what,
                      tr("Address"));
    });
}

void showInFolder(QWidget *over, const QString &path) {
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    const QPointer<QWidget> guard(over);
    foundation::Reveal::showInFileManager(path, [guard, path] {
        sayUnanswered(guard, tr("No file manager showed this item. You can copy its path from here:"), path,
                      tr("Path"));
    });
}

} // namespace vcOpenElsewhere
