#include "SignalWatcher.h"

#include <pthread.h>

SignalWatcher::SignalWatcher() {
    sigemptyset(&_set);
    sigaddset(&_set, SIGINT);
    sigaddset(&_set, SIGTERM);
    // A closed terminal and Ctrl-\ end the run the same clean way as Ctrl-C.
    sigaddset(&_set, SIGHUP);
    sigaddset(&_set, SIGQUIT);
    sigaddset(&_set, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &_set, &_old);
    _thread = std::thread([this] {
        for (;;) {
            int sig = 0;
            if (sigwait(&_set, &sig) != 0 || sig == SIGUSR1)
                return;
            _caught.store(sig);
        }
    });
}

SignalWatcher::~SignalWatcher() {
    pthread_kill(_thread.native_handle(), SIGUSR1);
    _thread.join();
    pthread_sigmask(SIG_SETMASK, &_old, nullptr);
}
