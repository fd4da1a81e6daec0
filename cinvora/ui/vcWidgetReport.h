#pragma once
// What the program shows, as a screen reader or a test on a real desktop would want it:
// every visible window and widget with its class, name, text and place on the screen.
// Off unless the environment names a file (CINVORA_WIDGET_REPORT); then each SIGUSR1 writes
// the report there (beside it first, then renamed, so a reader never sees half of one).
#include <QString>

namespace vcWidgetReport {
// Installs the signal handler when CINVORA_WIDGET_REPORT is set; call once from the main thread
// after the application object exists.
void installFromEnvironment();
// The report as JSON text (main thread).
QByteArray report();
} // namespace vcWidgetReport
