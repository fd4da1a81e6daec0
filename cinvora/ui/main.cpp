// Cinvora: the window program. Files named on the command line (as a file manager's
// "Open with" passes them) are added to the list once the saved list has been restored.
#include "ODMyDocumentWindow.h"
#include "ODTheme.h"
#include "vcWidgetReport.h"

#include <foundation/Files.h>
#include <framewheel/Codec.h>
#include <glazeform/LXImage.h>
#include <sendaway/LXYoutubeShareWindowController.h>
#include <vcCommon.h>

#include <QApplication>
#include <QIcon>

int main(int argc, char **argv) {
    SWInitCodec(argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Cinvora"));
    QApplication::setApplicationName(QStringLiteral("Cinvora"));
    QApplication::setDesktopFileName(QStringLiteral("org.cinvora.Cinvora"));
    odtheme::applyApplicationLook(app);
    vcWidgetReport::installFromEnvironment();
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("cinvora"), QIcon(LXImage::named(QStringLiteral("ODAppIcon.png")))));

    // A Google password an older version kept can never be used: it goes at start-up.
    LXYoutubeShareWindowController::removeStoredPasswords();
    // Partial outputs of a run that was killed are cleared before any name is picked; those
    // another running instance is still writing are kept.
    foundation::Files::removeStalePartials(vcCommon::exportMovieFolder());

    int rc = 0;
    {
        ODMyDocumentWindow window;
        window.show();
        window.raise();
        window.activateWindow();
        window.document().loadHistoryAtLuanch();
        window.selectLastExportType();

        window.addFilesAfterRestore(ODMyDocumentWindow::filesFromArguments(app.arguments().mid(1)));
        rc = QApplication::exec();
    }
    SWUnInitCodec();
    return rc;
}
