// Linked into every executable (see CINVORA_SANITIZER_DEFAULTS in the top CMakeLists):
// the sanitizer runtimes look these up when they start. Without a sanitizer they are
// never called.
//
// Reports from inside third-party libraries that the sanitizers cannot see into:
// libx265 keeps one process-wide allocation after its encoder is closed, and the codec
// libraries synchronise their worker threads with atomics that ThreadSanitizer does not
// see in uninstrumented code. The longer history keeps it from losing track of which
// locks our own earlier accesses held. Child processes (the probe tools the tests run)
// are started from threaded processes by fork and exec, which the runtime allows.
extern "C" const char *__lsan_default_suppressions() { return "leak:libx265.so\n"; }
extern "C" const char *__tsan_default_options() { return "history_size=7:die_after_fork=0"; }
extern "C" const char *__tsan_default_suppressions() {
    return "race:libavcodec.so\nrace:libavutil.so\nrace:libavfilter.so\nrace:libavformat.so\n"
           "race:libswscale.so\nrace:libswresample.so\nrace:libx264.so\nrace:libx265.so\nrace:libvpx.so\n"
           "race:libass.so\n"
           // Qt's posted events: made on one thread, deleted on the main thread, handed
           // over under Qt's own (uninstrumented) locks. Where the template is inlined the
           // frame is named without its class, so the event's destructor is named too.
           "race:QMetaObject::invokeMethodImpl\nrace:QMetaObject::invokeMethod<\n"
           "race:QMetaCallEvent::~QMetaCallEvent\n";
}
