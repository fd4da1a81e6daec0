#pragma once
// Showing files in the desktop's file manager and opening addresses.
#include <QString>
#include <QUrl>
#include <functional>

namespace foundation {

class Reveal {
public:
    // Asks the file manager (org.freedesktop.FileManager1 over D-Bus) to show the file
    // selected; where none answers, opens the containing folder. Returns false when
    // nothing exists at the path.
    static bool showInFileManager(const QString &path);
    static bool openUrl(const QUrl &url);

    // Tests replace the desktop with a recorder. The handler receives ("show", path) or ("open", url).
    using Handler = std::function<bool(const QString &what, const QString &target)>;
    static void setHandlerForTesting(Handler handler);
};

} // namespace foundation
