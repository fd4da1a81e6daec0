#include "SignalWatcher.h"

#include <pthread.h>

sigset_t SignalWatcher::stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    // A closed terminal and Ctrl-\ end the run the same clean way as Ctrl-C.
    sigaddset(&set, SIGHUP);
    sigaddset(&set, SIGQUIT);
    return set;
}

namespace {
// The program's libraries (Qt, FFmpeg and theirs, close to two hundred) take milliseconds
// to initialise before main() runs, and some start threads. The executable's pre-init
// functions run before any of them, so the mask is in place from there on and is inherited
// by every thread; a signal that comes meanwhile waits for the watcher.
void blockBeforeInitialisers(int, char **, char **) {
    const sigset_t set = SignalWatcher::stopSignals();
    sigprocmask(SIG_BLOCK, &set, nullptr);
}
} // namespace

__attribute__((section(".preinit_array"), used)) static void (*const g_blockEarly)(int, char **,
                                                                                   char **) = blockBeforeInitialisers;

SignalWatcher::SignalWatcher() : _set(stopSignals()) {
    // SIGUSR1 only wakes the thread when the watcher goes; sent from outside it is ignored.
    sigaddset(&_set, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &_set, nullptr);
    _thread = std::thread([this] {
        for (;;) {
            int sig = 0;
            if (sigwait(&_set, &sig) != 0)
                return;
            if (sig == SIGUSR1) {
                if (_stopping.load())
                    return;
                continue;
            }
            _caught.store(sig);
        }
    });
}

SignalWatcher::~SignalWatcher() {
    _stopping.store(true);
    pthread_kill(_thread.native_handle(), SIGUSR1);
    _thread.join();
}
