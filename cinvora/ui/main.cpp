// Cinvora: the window program. Files named on the command line (as a file manager's
// "Open with" passes them) are added to the list once the saved list has been restored.
// It runs once per user session: a later start hands its files to the running window over
// the session bus and ends (SoleInstance), and the list's lock keeps a second window from
// writing the list where there is no bus.
#include "ODMyDocumentWindow.h"
#include "ODTheme.h"
#include "QuitSignals.h"
#include "vcTranslations.h"
#include "vcWidgetReport.h"

#include <ListLock.h>
#include <SoleInstance.h>
#include <foundation/Files.h>
#include <framewheel/Codec.h>
#include <framewheel/SWConvertSession.h>
#include <glazeform/LXImage.h>
#include <sendaway/LXYoutubeShareWindowController.h>
#include <vcCommon.h>
#include <vcHistory.h>

#include <QApplication>
#include <QIcon>
#include <cstdio>

int main(int argc, char **argv) {
    SWInitCodec(argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Cinvora"));
    QApplication::setApplicationName(QStringLiteral("Cinvora"));
    QApplication::setDesktopFileName(QStringLiteral("org.cinvora.Cinvora"));
    // Before the first text is made: the refusal below is already in the user's language.
    vcTranslations::install(app);

    // Relative names are made absolute here, against this start's working folder: the
    // running window may have another one.
    const QStringList files = ODMyDocumentWindow::filesFromArguments(app.arguments().mid(1));
    SoleInstance sole;
    if (sole.claim(files) == SoleInstance::Role::HandedOff) {
        SWUnInitCodec();
        return 0;
    }
    // Refused rather than opened with a read-only list: rows added in such a window would
    // vanish at its end, and its conversions would compete with the other window's.
    const ListLock listLock(ListLock::pathBesideList(), 3000);
    if (!listLock.isHeld()) {
        const QString why =
            listLock.holder() > 0
                ? QCoreApplication::translate("main", "cinvora: Cinvora is already running (process %1) and keeps the "
                                                      "list %2; only one window may write it.")
                      .arg(listLock.holder())
                      .arg(vcHistory::defaultFile())
                : QCoreApplication::translate("main", "cinvora: the list %1 is in use by another Cinvora window (%2).")
                      .arg(vcHistory::defaultFile(),
                           listLock.error().isEmpty() ? QStringLiteral("locked") : listLock.error());
        std::fprintf(stderr, "%s\n", qPrintable(why));
        sole.release();
        SWUnInitCodec();
        return 1;
    }
    // From here this process writes the list and outputs: a logout's SIGTERM is a quit, never
    // a sudden death. (A start that only hands its files over, or is refused, has nothing to
    // lose to the default action, and a signal must end it even while it waits on the bus.)
    quitsignals::install();

    odtheme::applyApplicationLook(app);
    vcWidgetReport::installFromEnvironment();
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("cinvora"), QIcon(LXImage::named(QStringLiteral("ODAppIcon.png")))));

    // A Google password an older version kept can never be used: it goes at start-up.
    LXYoutubeShareWindowController::removeStoredPasswords();
    // Partial outputs of a run that was killed are cleared before any name is picked; those
    // another running instance is still writing are kept.
    foundation::Files::removeStalePartials(vcCommon::exportMovieFolder());
    SWConvertSession::removeStaleWork(vcCommon::exportMovieFolder());

    int rc = 0;
    {
        ODMyDocumentWindow window;
        window.show();
        window.raise();
        window.activateWindow();
        window.document().loadHistoryAtLuanch();
        window.document().setMakesEstimates(true);
        window.selectLastExportType();

        window.addFilesAfterRestore(files);
        sole.setReceiver([&window](const QStringList &more) { window.openFromAnotherStart(more); });
        quitsignals::watch(&window, [&window](int) { window.quitWithoutAsking(); });
        rc = QApplication::exec();
        // A start from now on finds no window to hand to; it waits for the list's lock
        // instead, which goes with this process.
        sole.release();
        sole.setReceiver(nullptr);
    }
    SWUnInitCodec();
    return rc;
}
