#include "QuitSignals.h"

#include <QObject>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int sig) {
    // Only async-signal-safe work here, on whichever thread the signal landed.
    const int saved = errno;
    const unsigned char c = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &c, 1);
    errno = saved;
}

} // namespace

namespace quitsignals {

void install() {
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        // A signal the starter chose to ignore (nohup's SIGHUP) stays ignored.
        struct sigaction old = {};
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        ::sigaction(sig, &sa, nullptr);
    }
}

void watch(QObject *context, std::function<void(int)> quit) {
    if (g_pipe[0] < 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [quit = std::move(quit)] {
        unsigned char c = 0;
        while (::read(g_pipe[0], &c, 1) == 1)
            quit(c);
    });
}

} // namespace quitsignals
