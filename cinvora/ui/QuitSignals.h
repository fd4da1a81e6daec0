#pragma once
// SIGTERM (what a logout or a shutdown sends), SIGINT, SIGHUP and SIGQUIT end the window
// program the way its Quit does, without a question, instead of by the default action
// (which leaves partial outputs on disk and the last changes of the list unsaved).
//
// The handler only writes the signal's number into a pipe; the main thread reads it through
// a QSocketNotifier and runs the quit there.
#include <functional>

class QObject;

namespace quitsignals {
// Installs the handlers, before anything is written: a signal from then on waits in the
// pipe until watch() reads it, once the event loop runs.
void install();
// From the event loop on, `quit` runs on the main thread for each signal, for as long as
// `context` lives.
void watch(QObject *context, std::function<void(int signal)> quit);
} // namespace quitsignals
