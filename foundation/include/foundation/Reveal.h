#pragma once
// Showing files in the desktop's file manager and opening addresses.
#include <QString>
#include <QUrl>
#include <functional>

namespace foundation {

class Reveal {
public:
    // Runs later, on the main thread, when nothing took the address or path: no handler
    // could be started, or the one that ran (xdg-open) said by its exit status that it failed.
    using Unanswered = std::function<void()>;

    // Main thread. Asks the file manager (org.freedesktop.FileManager1 over D-Bus) to show
    // the file selected; where none answers, opens the containing folder. Returns false when
    // nothing exists at the path (and then `unanswered` is not called).
    static bool showInFileManager(const QString &path, Unanswered unanswered = {});
    // Main thread. Hands the address to xdg-open, or where it is missing to Qt's own search
    // for a browser. Returns false when no handler could be started at all.
    static bool openUrl(const QUrl &url, Unanswered unanswered = {});
    // The address as it is handed over: a local file's path, any other address fully encoded.
    static QString handedOverText(const QUrl &url);

    // Tests replace the desktop with a recorder. The handler receives ("show", path) or ("open", url);
    // its false counts as unanswered.
    using Handler = std::function<bool(const QString &what, const QString &target)>;
    static void setHandlerForTesting(Handler handler);
};

} // namespace foundation
