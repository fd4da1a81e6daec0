// Cinvora: the window program. Files named on the command line (as a file manager's
// "Open with" passes them) are added to the list once the saved list has been restored.
#include "ODMyDocumentWindow.h"
#include "ODTheme.h"

#include <foundation/NotificationCenter.h>
#include <framewheel/Codec.h>
#include <glazeform/LXImage.h>

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <QUrl>

namespace {

// Command-line arguments that name files, as absolute paths ("file:" addresses included).
QStringList filesFromArguments(const QStringList &args) {
    QStringList files;
    for (const QString &arg : args) {
        if (arg.startsWith('-'))
            continue;
        const QUrl url(arg);
        const QString path = url.isLocalFile() ? url.toLocalFile() : arg;
        const QFileInfo info(path);
        if (info.exists())
            files << info.absoluteFilePath();
    }
    return files;
}

} // namespace

int main(int argc, char **argv) {
    SWInitCodec(argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Cinvora"));
    QApplication::setApplicationName(QStringLiteral("Cinvora"));
    QApplication::setDesktopFileName(QStringLiteral("cinvora"));
    odtheme::applyApplicationLook(app);
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("cinvora"), QIcon(LXImage::named(QStringLiteral("ODAppIcon.png")))));

    int rc = 0;
    {
        ODMyDocumentWindow window;
        window.show();
        window.raise();
        window.activateWindow();
        window.document().loadHistoryAtLuanch();
        window.selectLastExportType();

        const QStringList files = filesFromArguments(app.arguments().mid(1));
        if (!files.isEmpty()) {
            // After the rebuild, so that a file already in the list is recognised as such.
            auto *waiter = new QTimer(&window);
            waiter->setInterval(50);
            QObject::connect(waiter, &QTimer::timeout, &window, [&window, waiter, files] {
                if (window.document().isAdding())
                    return;
                waiter->stop();
                waiter->deleteLater();
                foundation::NotificationCenter::defaultCenter().post(QStringLiteral("addFilesKey"),
                                                                     {{QStringLiteral("addFiles"), files}});
            });
            waiter->start();
        }
        rc = QApplication::exec();
    }
    SWUnInitCodec();
    return rc;
}
