#include "glazeform/SystemVolume.h"

#include <foundation/Log.h>

#include <pulse/pulseaudio.h>

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <optional>

using foundation::Log;

// Sound server access. A plain (not threaded) main loop is driven by hand with a bounded poll,
// so every wait ends at a deadline and no thread outlives the call.

namespace {

struct SinkState {
    bool found = false;
    uint32_t index = PA_INVALID_INDEX;
    pa_cvolume volume{};
    bool mute = false;
};

class PulseConnection {
public:
    PulseConnection() {
        _deadline.start();
        _loop = pa_mainloop_new();
        if (!_loop)
            return;
        pa_proplist *props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Cinvora volume");
        _context = pa_context_new_with_proplist(pa_mainloop_get_api(_loop), "Cinvora", props);
        pa_proplist_free(props);
        if (!_context)
            return;
        // Never start a sound server just to read a volume.
        if (pa_context_connect(_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return;
        while (true) {
            const pa_context_state_t st = pa_context_get_state(_context);
            if (st == PA_CONTEXT_READY) {
                _ready = true;
                return;
            }
            if (!PA_CONTEXT_IS_GOOD(st) || !step())
                return;
        }
    }
    ~PulseConnection() {
        if (_context) {
            pa_context_disconnect(_context);
            pa_context_unref(_context);
        }
        if (_loop)
            pa_mainloop_free(_loop);
    }
    PulseConnection(const PulseConnection &) = delete;
    PulseConnection &operator=(const PulseConnection &) = delete;

    bool ready() const { return _ready; }
    pa_context *context() const { return _context; }

    // Runs the loop until the operation is done; false on timeout or a broken connection.
    bool wait(pa_operation *op) {
        if (!op)
            return false;
        bool ok = true;
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING) {
            if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(_context)) || !step()) {
                pa_operation_cancel(op);
                ok = false;
                break;
            }
        }
        if (ok && pa_operation_get_state(op) != PA_OPERATION_DONE)
            ok = false;
        pa_operation_unref(op);
        return ok;
    }

    std::optional<QByteArray> defaultSinkName() {
        struct Result {
            bool done = false;
            QByteArray name;
        } r;
        auto cb = [](pa_context *, const pa_server_info *info, void *user) {
            auto *res = static_cast<Result *>(user);
            res->done = true;
            if (info && info->default_sink_name)
                res->name = info->default_sink_name;
        };
        if (!wait(pa_context_get_server_info(_context, cb, &r)) || !r.done || r.name.isEmpty())
            return std::nullopt;
        return r.name;
    }

    // Fills the SinkState behind `user` from the server's answer about one sink.
    static void readSink(pa_context *, const pa_sink_info *info, int eol, void *user) {
        auto *st = static_cast<SinkState *>(user);
        if (eol || !info)
            return;
        st->found = true;
        st->index = info->index;
        st->volume = info->volume;
        st->mute = info->mute != 0;
    }

    SinkState sinkByName(const QByteArray &name) {
        SinkState s;
        if (!wait(pa_context_get_sink_info_by_name(_context, name.constData(), &readSink, &s)))
            s.found = false;
        return s;
    }

    SinkState sinkByIndex(uint32_t index) {
        SinkState s;
        if (!wait(pa_context_get_sink_info_by_index(_context, index, &readSink, &s)))
            s.found = false;
        return s;
    }

    bool setVolume(uint32_t index, const pa_cvolume &v) {
        struct R {
            bool ok = false;
        } r;
        auto cb = [](pa_context *, int success, void *user) { static_cast<R *>(user)->ok = success != 0; };
        return wait(pa_context_set_sink_volume_by_index(_context, index, &v, cb, &r)) && r.ok;
    }

    bool setMute(uint32_t index, bool mute) {
        struct R {
            bool ok = false;
        } r;
        auto cb = [](pa_context *, int success, void *user) { static_cast<R *>(user)->ok = success != 0; };
        return wait(pa_context_set_sink_mute_by_index(_context, index, mute ? 1 : 0, cb, &r)) && r.ok;
    }

private:
    // One bounded iteration of the loop; false once the deadline has passed.
    bool step() {
        const qint64 left = SystemVolume::kServerTimeoutMs - _deadline.elapsed();
        if (left <= 0)
            return false;
        if (pa_mainloop_prepare(_loop, int(std::min<qint64>(left, 100)) * 1000) < 0)
            return false;
        if (pa_mainloop_poll(_loop) < 0)
            return false;
        if (pa_mainloop_dispatch(_loop) < 0)
            return false;
        return true;
    }

    QElapsedTimer _deadline;
    pa_mainloop *_loop = nullptr;
    pa_context *_context = nullptr;
    bool _ready = false;
};

uint32_t defaultDevice(PulseConnection &c) {
    if (!c.ready())
        return 0;
    const auto name = c.defaultSinkName();
    if (!name)
        return 0;
    const SinkState s = c.sinkByName(*name);
    if (!s.found || s.index == PA_INVALID_INDEX)
        return 0;
    return s.index + 1;
}

uint32_t lookUpDevice(PulseConnection &c) {
    const uint32_t id = defaultDevice(c);
    if (id == 0)
        Log::line(QStringLiteral("Cannot find default output device!"));
    return id;
}
} // namespace

uint32_t SystemVolume::getDefaultOutputDeviceID() {
    PulseConnection c;
    return lookUpDevice(c);
}

void SystemVolume::setVolume(float volume) {
    if (!(volume >= 0.0f && volume <= 1.0f)) {
        Log::line(QString::asprintf("volume out of range (%.2f)", double(volume)));
        return;
    }
    const bool mute = volume < 0.001f;
    if (mute)
        Log::line(QStringLiteral("muted"));
    PulseConnection c;
    const uint32_t device = lookUpDevice(c);
    if (device == 0) {
        Log::line(QStringLiteral("Unknown device"));
        return;
    }
    const uint32_t index = device - 1;
    const SinkState sink = c.sinkByIndex(index);
    if (!sink.found) {
        Log::line(QString::asprintf("Device %d does not support volume control", int(device)));
        return;
    }
    bool ok = true;
    if (mute) {
        ok = c.setMute(index, true);
    } else {
        pa_cvolume v = sink.volume;
        const pa_volume_t level = pa_volume_t(std::lround(double(volume) * PA_VOLUME_NORM));
        // Every channel to the same level: the master level, as a desktop volume slider sets it.
        pa_cvolume_set(&v, v.channels ? v.channels : 1, level);
        if (!c.setVolume(index, v))
            Log::line(QString::asprintf("Unable to set volume for device %d", int(device)));
        ok = c.setMute(index, false);
    }
    if (!ok)
        Log::line(QString::asprintf("Unable to set volume for device %d", int(device)));
}

std::optional<float> SystemVolume::systemVolume() {
    PulseConnection c;
    const uint32_t device = lookUpDevice(c);
    if (device == 0) {
        Log::line(QStringLiteral("Unknown device"));
        return std::nullopt;
    }
    const SinkState sink = c.sinkByIndex(device - 1);
    if (!sink.found || !pa_cvolume_valid(&sink.volume)) {
        Log::line(QString::asprintf("No volume returned for device %d", int(device)));
        return std::nullopt;
    }
    const double level = double(pa_cvolume_max(&sink.volume)) / double(PA_VOLUME_NORM);
    // A sink amplified beyond 100% is at least at full level; reporting it as silent would
    // show a muted speaker for the loudest setting.
    return float(std::clamp(level, 0.0, 1.0));
}

float SystemVolume::getVolume() { return systemVolume().value_or(0.0f); }

bool SystemVolume::isMuted() {
    PulseConnection c;
    const uint32_t device = defaultDevice(c);
    if (device == 0)
        return false;
    const SinkState sink = c.sinkByIndex(device - 1);
    return sink.found && sink.mute;
}
