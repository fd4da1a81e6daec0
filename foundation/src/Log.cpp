#include "foundation/Log.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace foundation {
namespace {
std::mutex &sinkLock() {
    static std::mutex m;
    return m;
}
Log::Sink &sink() {
    static Log::Sink s;
    return s;
}
} // namespace

namespace {
std::atomic<bool> g_echo{true};
}

void Log::setEchoToStandardError(bool on) { g_echo.store(on); }

void Log::line(const QString &text) {
    if (g_echo.load()) {
        const QByteArray bytes = text.toLocal8Bit();
        std::fprintf(stderr, "%s\n", bytes.constData());
    }
    std::lock_guard lock(sinkLock());
    if (sink())
        sink()(text);
}

void Log::debug(const QString &text) {
    if (debugEnabled())
        line(text);
}

bool Log::debugEnabled() {
    static const bool enabled = std::getenv("CINVORA_DEBUG") != nullptr;
    return enabled;
}

void Log::setSink(Sink s) {
    std::lock_guard lock(sinkLock());
    sink() = std::move(s);
}

} // namespace foundation
