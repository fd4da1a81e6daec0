#pragma once
// Addresses and folders handed to the desktop's own programs (browser, mail program, file
// manager). When none takes one, a sheet over the window says so and shows the address or
// path whole in a read-only field, reachable with Tab, so that the user can copy it.
#include <QString>
#include <QUrl>

class QWidget;

namespace vcOpenElsewhere {
// Main thread. `over` is any widget of the window the sheet belongs to.
void openUrl(QWidget *over, const QUrl &url);
// Shows the file or folder in the file manager (or opens its folder). A path that does not
// exist does nothing.
void showInFolder(QWidget *over, const QString &path);
} // namespace vcOpenElsewhere
