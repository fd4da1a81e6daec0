#pragma once
// Alert sheets: window-modal message boxes that report the pressed button through a callback.
#include <foundation/AlertRequest.h>

#include <functional>

class QWidget;
class QMessageBox;

namespace foundation {

class Alerts {
public:
    // Main thread only. Opens the sheet over `parent` (window-modal) and returns at once;
    // `done` runs on the main thread when a button was pressed. Returns the box (owned by
    // Qt, deleted after closing), or nullptr when a test responder answered at once.
    static QMessageBox *showSheet(QWidget *parent, const AlertRequest &request, std::function<void(AlertButton)> done);
    // The same with a check box under the message (for "do not ask again"): `done` also
    // gets whether it was ticked. Escape answers the alternate button when there is one,
    // so that dismissing the box never means yes. A test responder's answer comes unticked.
    static QMessageBox *showSheet(QWidget *parent, const AlertRequest &request, const QString &checkBoxText,
                                  std::function<void(AlertButton, bool checked)> done);

    // The same with `copyable` (an address, a path) in a read-only field under the title,
    // whole and selectable, that Tab reaches; `copyableName` names it for screen readers.
    static QMessageBox *showSheetWithCopyableText(QWidget *parent, const AlertRequest &request, const QString &copyable,
                                                  const QString &copyableName, std::function<void(AlertButton)> done);

    // Tests answer sheets without showing them: the responder sees each request and
    // returns the button to press, or nothing to let the sheet open normally.
    using Responder = std::function<std::optional<AlertButton>(const AlertRequest &)>;
    static void setResponderForTesting(Responder responder);
};

} // namespace foundation
