// The libmpv side of the player view: creation and teardown, the event pump, playback
// state, seeking, the play window and track selection. Everything here runs on the main
// thread; libmpv's own threads only flag work through the two callbacks at the bottom.
#include "SWPlayerPrivate.h"

#include <foundation/Log.h>

#include <QByteArray>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QVarLengthArray>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// What an asynchronous request was, packed into libmpv's reply tag with a serial number.
enum class Request : uint64_t { Other = 0, Seek = 1, Load = 2, SubtitleAdd = 3 };
constexpr int kRequestShift = 48;
constexpr uint64_t kSerialMask = (uint64_t(1) << kRequestShift) - 1;

uint64_t tagFor(Request r, uint64_t serial) { return (uint64_t(r) << kRequestShift) | (serial & kSerialMask); }
Request requestOf(uint64_t tag) { return Request(tag >> kRequestShift); }
uint64_t serialOf(uint64_t tag) { return tag & kSerialMask; }

// Observed properties, by reply tag.
enum Prop : uint64_t { PropTimePos = 1, PropDuration, PropEof, PropFps, PropWidth, PropHeight };

// The largest picture the software renderer draws; bigger video is scaled down into it.
constexpr int kMaxSurfaceW = 1920;
constexpr int kMaxSurfaceH = 1080;
// A frame shown within this of the window's end counts as the end (libmpv's own exact
// seek treats frames that close to the target as the target frame).
constexpr double kEndTolerance = 0.005;
// How long closing a player waits for libmpv to let go of its file.
constexpr int kTeardownWaitMs = 3000;

QMutex &audioOutputLock() {
    static QMutex m;
    return m;
}
QString &audioOutputSetting() {
    static QString s;
    return s;
}
bool &audioOutputSet() {
    static bool b = false;
    return b;
}

QString nodeString(const mpv_node &n) {
    return n.format == MPV_FORMAT_STRING && n.u.string ? QString::fromUtf8(n.u.string) : QString();
}

int64_t nodeInt(const mpv_node &n, int64_t fallback) {
    if (n.format == MPV_FORMAT_INT64)
        return n.u.int64;
    if (n.format == MPV_FORMAT_DOUBLE)
        return static_cast<int64_t>(n.u.double_);
    return fallback;
}

QString absolutePath(const QString &path) { return QFileInfo(path).absoluteFilePath(); }

} // namespace

// ---------------------------------------------------------------------------------------
// Audio output default (process-wide)

void SWPlayer::setDefaultAudioOutput(const QString &ao) {
    QMutexLocker lock(&audioOutputLock());
    audioOutputSetting() = ao;
    audioOutputSet() = true;
}

QString SWPlayer::defaultAudioOutput() {
    QMutexLocker lock(&audioOutputLock());
    if (audioOutputSet())
        return audioOutputSetting();
    return qEnvironmentVariable("CINVORA_AUDIO_OUT");
}

// ---------------------------------------------------------------------------------------
// Creation and teardown

SWPlayerPrivate::SWPlayerPrivate(SWPlayer *owner) : q(owner) { start(); }

void SWPlayerPrivate::start() {
    // libmpv parses and prints numbers with the C library; a decimal comma from the
    // user's locale would corrupt every time and volume it reads.
    std::setlocale(LC_NUMERIC, "C");
    mpv = mpv_create();
    if (!mpv) {
        initError = QStringLiteral("libmpv could not be created");
        return;
    }
    const QByteArray ao = SWPlayer::defaultAudioOutput().toUtf8();
    const QByteArray vol = QByteArray::number(volume * 100.0 / 256.0, 'f', 4);
    const std::pair<const char *, const char *> options[] = {
        {"config", "no"},
        {"terminal", "no"},
        {"load-scripts", "no"},
        {"osc", "no"},
        {"ytdl", "no"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"vo", "libmpv"},
        {"hwdec", "no"},
        {"ao", ao.isEmpty() ? nullptr : ao.constData()},
        {"audio-fallback-to-null", "yes"},
        {"audio-client-name", "Cinvora"},
        {"audio-display", "no"},
        {"keep-open", "yes"},
        {"idle", "yes"},
        {"pause", "yes"},
        {"hr-seek", "yes"},
        {"sub-auto", "no"},
        {"audio-file-auto", "no"},
        {"sid", "no"},
        {"osd-level", "0"}, // subtitles only: no seek bars or status texts in the picture
        {"volume", vol.constData()},
    };
    for (const auto &[name, value] : options) {
        if (!value)
            continue;
        const int rc = mpv_set_option_string(mpv, name, value);
        if (rc < 0)
            foundation::Log::debug(
                QStringLiteral("player: option %1=%2 refused: %3")
                    .arg(QLatin1String(name), QLatin1String(value), QLatin1String(mpv_error_string(rc))));
    }
    if (foundation::Log::debugEnabled())
        mpv_request_log_messages(mpv, "info");

    int rc = mpv_initialize(mpv);
    if (rc < 0) {
        initError = QStringLiteral("libmpv could not start: %1").arg(QLatin1String(mpv_error_string(rc)));
        mpv_terminate_destroy(mpv);
        mpv = nullptr;
        return;
    }
    mpv_observe_property(mpv, PropTimePos, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, PropDuration, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, PropEof, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv, PropFps, "container-fps", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, PropWidth, "dwidth", MPV_FORMAT_INT64);
    mpv_observe_property(mpv, PropHeight, "dheight", MPV_FORMAT_INT64);

    // The render context must exist before any file creates the video output.
    char apiType[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType}, {MPV_RENDER_PARAM_INVALID, nullptr}};
    rc = mpv_render_context_create(&render, mpv, params);
    if (rc < 0) {
        initError =
            QStringLiteral("libmpv's software renderer could not start: %1").arg(QLatin1String(mpv_error_string(rc)));
        render = nullptr;
        mpv_terminate_destroy(mpv);
        mpv = nullptr;
        return;
    }
    mpv_render_context_set_update_callback(render, &SWPlayerPrivate::renderUpdateCallback, this);
    mpv_set_wakeup_callback(mpv, &SWPlayerPrivate::wakeupCallback, this);
}

SWPlayerPrivate::~SWPlayerPrivate() {
    delegate = nullptr;
    // Both setters take the lock their callback runs under, so once they return no
    // callback is running or can start; calls already queued die with the widget.
    if (render)
        mpv_render_context_set_update_callback(render, nullptr, nullptr);
    if (mpv)
        mpv_set_wakeup_callback(mpv, nullptr, nullptr);
    // The render context goes first: freeing it shuts the video output down while the
    // core still runs, which the handle's destruction would otherwise leave dangling.
    // Both wait for libmpv's threads, and a thread stuck in a read that never returns (a
    // /proc file, a dead network mount) would hold the window open for good: they run on
    // a thread of their own, and a handle that is not down in time is left to it.
    if (render || mpv) {
        struct Teardown {
            std::mutex lock;
            std::condition_variable cv;
            bool done = false;
        };
        auto t = std::make_shared<Teardown>();
        std::thread([t, render = render, mpv = mpv] {
            if (render)
                mpv_render_context_free(render);
            if (mpv)
                mpv_terminate_destroy(mpv);
            std::lock_guard l(t->lock);
            t->done = true;
            t->cv.notify_all();
        }).detach();
        std::unique_lock l(t->lock);
        if (!t->cv.wait_for(l, std::chrono::milliseconds(kTeardownWaitMs), [&] { return t->done; }))
            foundation::Log::line(QStringLiteral("player: %1 still does not let go after %2 s; it is left behind")
                                      .arg(path)
                                      .arg(kTeardownWaitMs / 1000));
    }
    render = nullptr;
    mpv = nullptr;
    frame = QImage();
}

void SWPlayerPrivate::wakeupCallback(void *ctx) {
    auto *self = static_cast<SWPlayerPrivate *>(ctx);
    if (self->wakeupQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(
        self->q, [self] { self->onWakeup(); }, Qt::QueuedConnection);
}

void SWPlayerPrivate::renderUpdateCallback(void *ctx) {
    auto *self = static_cast<SWPlayerPrivate *>(ctx);
    if (self->renderQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(
        self->q, [self] { self->onRenderUpdate(); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------
// Requests to libmpv (asynchronous: they run in order on libmpv's core)

void SWPlayerPrivate::command(uint64_t tag, std::initializer_list<const char *> args) {
    if (!mpv)
        return;
    QVarLengthArray<const char *, 8> argv(args.begin(), args.end());
    argv.append(nullptr);
    const int rc = mpv_command_async(mpv, tag, argv.data());
    if (rc < 0)
        foundation::Log::debug(QStringLiteral("player: command %1 refused: %2")
                                   .arg(QLatin1String(*args.begin()), QLatin1String(mpv_error_string(rc))));
}

void SWPlayerPrivate::setProperty(const char *name, const QByteArray &value) {
    if (!mpv)
        return;
    const char *text = value.constData();
    mpv_set_property_async(mpv, 0, name, MPV_FORMAT_STRING, &text);
}

void SWPlayerPrivate::setPaused(bool paused) { setProperty("pause", paused ? "yes" : "no"); }

void SWPlayerPrivate::issueSeek(double seconds, bool exact) {
    ++seeksInFlight;
    seekPending = true;
    seekTarget = std::max(0.0, seconds);
    if (exact)
        heldAt = seekTarget;
    else
        heldAt.reset();
    const QByteArray t = QByteArray::number(seekTarget, 'f', 6);
    command(tagFor(Request::Seek, ++seekSerial),
            {"seek", t.constData(), exact ? "absolute+exact" : "absolute+keyframes"});
}

bool SWPlayerPrivate::restoreHeldPosition() {
    if (!heldAt || !loaded || !wantPaused || seekPending || dragging || parking)
        return false;
    // An exact seek lands on the frame shown at the target: up to one frame before it, and
    // on the last frame for a target past it (a file's stated length often runs a little
    // beyond its last picture).
    const double frame = frameSeconds();
    const bool late = timePos > *heldAt + 0.001;
    const bool early = timePos < *heldAt - frame - 0.001 && *heldAt < duration - frame;
    if (!late && !early) {
        heldRetries = 0;
        return false;
    }
    if (++heldRetries > 3)
        return false; // the file will not land there; leave it where it is
    issueSeek(*heldAt, true);
    return true;
}

// ---------------------------------------------------------------------------------------
// Public operations

void SWPlayerPrivate::resetFileState() {
    loaded = false;
    failed = false;
    eof = false;
    wantPaused = true;
    timePos = 0.0;
    duration = 0.0;
    fps = 0.0;
    videoW = videoH = 0;
    seekPending = false;
    seekBeforeLoad.reset();
    heldAt.reset();
    heldRetries = 0;
    dragging = false;
    resumeAfterDrag = false;
    dragSoughtFast = false;
    windowStartUs = windowDurationUs = -1;
    parking = false;
    lastPercent = -1.0;
    audioBeforeLoad.reset();
    subBeforeLoad = SubChoice::Unset;
    subFileBeforeLoad.clear();
    frame = QImage();
    q->update();
}

void SWPlayerPrivate::openFile(const QString &newPath) {
    resetFileState();
    path = newPath.isEmpty() ? QString() : absolutePath(newPath);
    const uint64_t serial = ++loadSerial;
    wantedEntry = -1;
    if (!mpv) {
        // Without libmpv nothing can play; say so the way a bad file is reported.
        if (!path.isEmpty()) {
            failed = true;
            QMetaObject::invokeMethod(
                q,
                [this, serial] {
                    if (serial == loadSerial)
                        reportError(QStringLiteral("Cannot play \"%1\": %2").arg(path, initError));
                },
                Qt::QueuedConnection);
        }
        return;
    }
    setPaused(true);
    if (path.isEmpty()) {
        command(tagFor(Request::Other, serial), {"stop"});
        return;
    }
    ++loadsInFlight;
    const QByteArray file = path.toUtf8();
    // Per-file options: the track choice of one file must not carry over to the next.
    command(tagFor(Request::Load, serial), {"loadfile", file.constData(), "replace", "aid=auto,sid=no"});
}

bool SWPlayerPrivate::isRunning() const { return mpv && !path.isEmpty() && !failed && !wantPaused; }

double SWPlayerPrivate::currentSeconds() const {
    if (seekPending)
        return seekTarget;
    if (!loaded && seekBeforeLoad && duration > 0)
        return *seekBeforeLoad * duration;
    return timePos;
}

double SWPlayerPrivate::position() const {
    if (!loaded)
        return seekBeforeLoad.value_or(0.0);
    if (duration <= 0)
        return 0.0;
    return std::clamp(currentSeconds() / duration, 0.0, 1.0);
}

double SWPlayerPrivate::frameSeconds() const { return fps > 0 ? 1.0 / fps : 0.04; }

bool SWPlayerPrivate::windowHasEnd() const { return windowDurationUs >= 0; }

double SWPlayerPrivate::windowStartSeconds() const { return windowStartUs > 0 ? windowStartUs / 1e6 : 0.0; }

double SWPlayerPrivate::windowEndSeconds() const {
    return windowStartSeconds() + (windowDurationUs > 0 ? windowDurationUs / 1e6 : 0.0);
}

void SWPlayerPrivate::play() {
    if (!mpv || path.isEmpty() || failed)
        return;
    if (loaded) {
        const double t = currentSeconds();
        const bool atWindowEnd = windowHasEnd() && t >= windowEndSeconds() - kEndTolerance;
        const bool atFileEnd = (eof && !seekPending) || (duration > 0 && t >= duration - 0.5 * frameSeconds());
        if (atWindowEnd || atFileEnd)
            issueSeek(windowStartSeconds(), true);
    }
    parking = false;
    wantPaused = false;
    heldAt.reset();
    setPaused(false);
}

void SWPlayerPrivate::pause() {
    wantPaused = true;
    setPaused(true);
}

void SWPlayerPrivate::stop() {
    parking = false;
    pause();
}

void SWPlayerPrivate::seekTo(double fraction) {
    if (!mpv || path.isEmpty() || failed)
        return;
    if (!std::isfinite(fraction))
        fraction = 0.0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    parking = false;
    if (!loaded) {
        seekBeforeLoad = fraction;
        return;
    }
    const double seconds = fraction * duration;
    const bool exact = !dragging || absoluteEditor;
    if (dragging) {
        dragTarget = seconds;
        dragSoughtFast = dragSoughtFast || !exact;
    }
    issueSeek(seconds, exact);
}

void SWPlayerPrivate::beginToSeek() {
    if (dragging)
        return;
    dragging = true;
    dragSoughtFast = false;
    heldAt.reset();
    resumeAfterDrag = isRunning();
    if (resumeAfterDrag)
        pause();
}

void SWPlayerPrivate::endSeeking() {
    if (!dragging)
        return;
    dragging = false;
    if (dragSoughtFast && loaded)
        issueSeek(dragTarget, true);
    dragSoughtFast = false;
    if (resumeAfterDrag) {
        // A plain resume: a drag that ends past the window's end is caught by the window.
        wantPaused = false;
        setPaused(false);
    }
    resumeAfterDrag = false;
}

void SWPlayerPrivate::gotoNextFrame() {
    if (!mpv || !loaded)
        return;
    parking = false;
    wantPaused = true;
    heldAt.reset();
    command(tagFor(Request::Other, 0), {"frame-step"});
}

void SWPlayerPrivate::setVolume(int v) {
    volume = std::clamp(v, 0, 256);
    setProperty("volume", QByteArray::number(volume * 100.0 / 256.0, 'f', 4));
}

void SWPlayerPrivate::setWindow(int64_t startUs, int64_t durationUs) {
    if (startUs < 0 && durationUs < 0) {
        windowStartUs = windowDurationUs = -1;
    } else {
        windowStartUs = std::max<int64_t>(0, startUs);
        windowDurationUs = durationUs < 0 ? -1 : durationUs;
    }
    if (!windowHasEnd())
        parking = false;
}

// ---------------------------------------------------------------------------------------
// Tracks

QList<SWPlayerPrivate::Track> SWPlayerPrivate::tracks() const {
    QList<Track> out;
    if (!mpv)
        return out;
    mpv_node node;
    if (mpv_get_property(mpv, "track-list", MPV_FORMAT_NODE, &node) < 0)
        return out;
    if (node.format == MPV_FORMAT_NODE_ARRAY && node.u.list) {
        for (int i = 0; i < node.u.list->num; ++i) {
            const mpv_node &item = node.u.list->values[i];
            if (item.format != MPV_FORMAT_NODE_MAP || !item.u.list)
                continue;
            Track t;
            for (int k = 0; k < item.u.list->num; ++k) {
                const char *key = item.u.list->keys[k];
                const mpv_node &v = item.u.list->values[k];
                if (!std::strcmp(key, "id"))
                    t.id = nodeInt(v, 0);
                else if (!std::strcmp(key, "type"))
                    t.type = nodeString(v);
                else if (!std::strcmp(key, "ff-index"))
                    t.ffIndex = static_cast<int>(nodeInt(v, -1));
                else if (!std::strcmp(key, "external"))
                    t.external = v.format == MPV_FORMAT_FLAG && v.u.flag;
                else if (!std::strcmp(key, "external-filename"))
                    t.externalFile = nodeString(v);
                else if (!std::strcmp(key, "selected"))
                    t.selected = v.format == MPV_FORMAT_FLAG && v.u.flag;
            }
            out.append(t);
        }
    }
    mpv_free_node_contents(&node);
    return out;
}

int64_t SWPlayerPrivate::intProperty(const char *name, int64_t fallback) const {
    if (!mpv)
        return fallback;
    int64_t v = 0;
    return mpv_get_property(mpv, name, MPV_FORMAT_INT64, &v) < 0 ? fallback : v;
}

double SWPlayerPrivate::doubleProperty(const char *name, double fallback) const {
    if (!mpv)
        return fallback;
    double v = 0;
    return mpv_get_property(mpv, name, MPV_FORMAT_DOUBLE, &v) < 0 ? fallback : v;
}

void SWPlayerPrivate::applyAudio(int streamNumber) {
    if (streamNumber < 0) {
        setProperty("aid", "no");
        return;
    }
    for (const Track &t : tracks()) {
        if (t.type == u"audio" && !t.external && t.ffIndex == streamNumber) {
            setProperty("aid", QByteArray::number(t.id));
            return;
        }
    }
    foundation::Log::debug(QStringLiteral("player: no audio stream %1 in %2").arg(streamNumber).arg(path));
}

void SWPlayerPrivate::applySubtitleStream(int streamNumber) {
    if (streamNumber < 0) {
        setProperty("sid", "no");
        return;
    }
    for (const Track &t : tracks()) {
        if (t.type == u"sub" && !t.external && t.ffIndex == streamNumber) {
            setProperty("sid", QByteArray::number(t.id));
            // An embedded track's packets for the moment shown were read before it was
            // chosen; while paused nothing would read them again, so the picture would stay
            // without text until playback moves. Landing again on the same time re-reads them.
            if (wantPaused && !seekPending)
                issueSeek(timePos, true);
            return;
        }
    }
    foundation::Log::debug(QStringLiteral("player: no subtitle stream %1 in %2").arg(streamNumber).arg(path));
}

void SWPlayerPrivate::applyExternalSubtitle(const QString &file) {
    for (const Track &t : tracks()) {
        if (t.type == u"sub" && t.external && absolutePath(t.externalFile) == file) {
            setProperty("sid", QByteArray::number(t.id));
            return;
        }
    }
    const uint64_t serial = ++subtitleSerial;
    subtitleRequests.insert(serial, file);
    const QByteArray f = file.toUtf8();
    command(tagFor(Request::SubtitleAdd, serial), {"sub-add", f.constData(), "select"});
}

void SWPlayerPrivate::changeAudioTrack(int streamNumber) {
    if (!mpv || path.isEmpty())
        return;
    if (!loaded) {
        audioBeforeLoad = streamNumber;
        return;
    }
    applyAudio(streamNumber);
}

void SWPlayerPrivate::changeSubtitle(int streamNumber) {
    if (!mpv || path.isEmpty())
        return;
    if (!loaded) {
        subBeforeLoad = SubChoice::Stream;
        subStreamBeforeLoad = streamNumber;
        return;
    }
    applySubtitleStream(streamNumber);
}

void SWPlayerPrivate::loadPluginSubtitle(const QString &file) {
    if (!mpv || path.isEmpty() || file.isEmpty())
        return;
    const QString abs = absolutePath(file);
    if (!loaded) {
        subBeforeLoad = SubChoice::External;
        subFileBeforeLoad = abs;
        return;
    }
    applyExternalSubtitle(abs);
}

// ---------------------------------------------------------------------------------------
// Events

void SWPlayerPrivate::onWakeup() {
    wakeupQueued = false;
    // A delegate message may run a nested event loop; the outer pass keeps draining, and
    // libmpv's event memory must stay valid until its handler returns.
    if (!mpv || inEvents)
        return;
    inEvents = true;
    while (true) {
        mpv_event *ev = mpv_wait_event(mpv, 0);
        if (!ev || ev->event_id == MPV_EVENT_NONE)
            break;
        if (!handleEvent(*ev))
            return; // the player is gone
    }
    inEvents = false;
}

bool SWPlayerPrivate::handleEvent(const mpv_event &ev) {
    switch (ev.event_id) {
    case MPV_EVENT_PROPERTY_CHANGE:
        return onPropertyChange(ev);
    case MPV_EVENT_COMMAND_REPLY:
        return onCommandReply(ev);
    case MPV_EVENT_START_FILE:
        if (ev.data)
            playingEntry = static_cast<const mpv_event_start_file *>(ev.data)->playlist_entry_id;
        return true;
    case MPV_EVENT_FILE_LOADED:
        return onFileLoaded();
    case MPV_EVENT_END_FILE:
        return ev.data ? onEndFile(*static_cast<const mpv_event_end_file *>(ev.data)) : true;
    case MPV_EVENT_PLAYBACK_RESTART:
        return onPlaybackRestart();
    case MPV_EVENT_LOG_MESSAGE:
        if (ev.data) {
            const auto *m = static_cast<const mpv_event_log_message *>(ev.data);
            foundation::Log::debug(
                QStringLiteral("mpv[%1] %2").arg(QLatin1String(m->prefix), QString::fromUtf8(m->text).trimmed()));
        }
        return true;
    default:
        return true;
    }
}

bool SWPlayerPrivate::onPropertyChange(const mpv_event &ev) {
    const auto *p = static_cast<const mpv_event_property *>(ev.data);
    if (!p)
        return true;
    const bool isDouble = p->format == MPV_FORMAT_DOUBLE && p->data;
    const bool isInt = p->format == MPV_FORMAT_INT64 && p->data;
    switch (ev.reply_userdata) {
    case PropTimePos:
        if (!isDouble)
            return true;
        timePos = *static_cast<const double *>(p->data);
        return onTimeChanged();
    case PropDuration:
        if (isDouble)
            duration = *static_cast<const double *>(p->data);
        return true;
    case PropFps:
        fps = isDouble ? *static_cast<const double *>(p->data) : 0.0;
        return true;
    case PropEof: {
        const bool now = p->format == MPV_FORMAT_FLAG && p->data && *static_cast<const int *>(p->data);
        const bool rising = now && !eof;
        eof = now;
        return rising ? onEof() : true;
    }
    case PropWidth:
    case PropHeight: {
        const int v = isInt ? static_cast<int>(*static_cast<const int64_t *>(p->data)) : 0;
        int &slot = ev.reply_userdata == PropWidth ? videoW : videoH;
        if (slot != v) {
            slot = v;
            // The picture's size changed: draw the current frame again at the new size.
            if (videoW > 0 && videoH > 0)
                drawFrame();
        }
        return true;
    }
    default:
        return true;
    }
}

bool SWPlayerPrivate::onCommandReply(const mpv_event &ev) {
    const uint64_t tag = ev.reply_userdata;
    switch (requestOf(tag)) {
    case Request::Seek:
        seeksInFlight = std::max(0, seeksInFlight - 1);
        if (ev.error < 0 && seeksInFlight == 0) {
            // Refused (nothing to seek in): no restart will follow.
            seekPending = false;
            if (parking) {
                parking = false;
                if (!reportProgress(true))
                    return false;
                return notify([this](SWPlayerDelegate *dl) { dl->playerDidRunedBeyondStopTime(q); });
            }
        }
        return true;
    case Request::Load: {
        loadsInFlight = std::max(0, loadsInFlight - 1);
        if (serialOf(tag) != (loadSerial & kSerialMask))
            return true; // a file asked for before the current one
        if (ev.error < 0) {
            failed = true;
            wantPaused = true;
            return reportError(
                QStringLiteral("Cannot play \"%1\": %2").arg(path, QLatin1String(mpv_error_string(ev.error))));
        }
        const auto *cmd = static_cast<const mpv_event_command *>(ev.data);
        if (cmd && cmd->result.format == MPV_FORMAT_NODE_MAP && cmd->result.u.list) {
            for (int k = 0; k < cmd->result.u.list->num; ++k) {
                if (!std::strcmp(cmd->result.u.list->keys[k], "playlist_entry_id"))
                    wantedEntry = nodeInt(cmd->result.u.list->values[k], -1);
            }
        }
        return true;
    }
    case Request::SubtitleAdd: {
        const QString file = subtitleRequests.take(serialOf(tag));
        if (ev.error < 0)
            return reportError(QStringLiteral("Cannot load the subtitle file \"%1\" for \"%2\": %3")
                                   .arg(file, path, QLatin1String(mpv_error_string(ev.error))));
        return true;
    }
    case Request::Other:
        return true;
    }
    return true;
}

bool SWPlayerPrivate::onFileLoaded() {
    if (loadsInFlight > 0 || path.isEmpty() || playingEntry != wantedEntry)
        return true; // an earlier file finished opening after a newer one was asked for
    loaded = true;
    failed = false;
    eof = false;
    // Property changes arrive after queued events; the delegate may ask at once.
    if (mpv) {
        double v = 0;
        if (mpv_get_property(mpv, "duration", MPV_FORMAT_DOUBLE, &v) >= 0)
            duration = v;
        if (mpv_get_property(mpv, "container-fps", MPV_FORMAT_DOUBLE, &v) >= 0)
            fps = v;
        if (mpv_get_property(mpv, "time-pos", MPV_FORMAT_DOUBLE, &v) >= 0)
            timePos = v;
        demuxerStart =
            mpv_get_property(mpv, "demuxer-start-time", MPV_FORMAT_DOUBLE, &v) >= 0 && std::isfinite(v) ? v : 0.0;
    }
    if (audioBeforeLoad)
        applyAudio(*audioBeforeLoad);
    audioBeforeLoad.reset();
    if (subBeforeLoad == SubChoice::Stream)
        applySubtitleStream(subStreamBeforeLoad);
    else if (subBeforeLoad == SubChoice::External)
        applyExternalSubtitle(subFileBeforeLoad);
    subBeforeLoad = SubChoice::Unset;
    if (seekBeforeLoad) {
        const double f = *seekBeforeLoad;
        seekBeforeLoad.reset();
        issueSeek(f * duration, true);
    }
    setPaused(wantPaused);
    return notify([this](SWPlayerDelegate *dl) { dl->playerBecomePlayAble(q); });
}

bool SWPlayerPrivate::onEndFile(const mpv_event_end_file &end) {
    if (loadsInFlight > 0 || path.isEmpty() || end.playlist_entry_id != wantedEntry)
        return true;
    switch (end.reason) {
    case MPV_END_FILE_REASON_ERROR: {
        const bool wasLoaded = loaded;
        loaded = false;
        failed = true;
        wantPaused = true;
        parking = false;
        frame = QImage();
        q->update();
        const QString text =
            wasLoaded ? QStringLiteral("Playback of \"%1\" failed: %2") : QStringLiteral("Cannot play \"%1\": %2");
        return reportError(text.arg(path, QLatin1String(mpv_error_string(end.error))));
    }
    case MPV_END_FILE_REASON_EOF:
        // keep-open holds the last picture, so this only comes when libmpv could not.
        loaded = false;
        eof = true;
        return wantPaused ? true : onEof();
    default:
        return true;
    }
}

bool SWPlayerPrivate::onPlaybackRestart() {
    if (seeksInFlight > 0)
        return true; // a newer seek is still on its way
    // The landed position: property changes are only delivered after queued events.
    if (mpv) {
        double v = 0;
        if (mpv_get_property(mpv, "time-pos", MPV_FORMAT_DOUBLE, &v) >= 0)
            timePos = v;
    }
    seekPending = false;
    if (restoreHeldPosition())
        return true;
    if (parking) {
        parking = false;
        if (!reportProgress(true))
            return false;
        return notify([this](SWPlayerDelegate *dl) { dl->playerDidRunedBeyondStopTime(q); });
    }
    if (dragging || !loaded)
        return true;
    return reportProgress(false);
}

bool SWPlayerPrivate::onTimeChanged() {
    if (!loaded || parking || seekPending || dragging)
        return true;
    if (restoreHeldPosition())
        return true;
    if (!wantPaused && windowHasEnd() && timePos >= windowEndSeconds() - kEndTolerance) {
        // Past the window's end: pause, and land exactly on the end, since libmpv may
        // have shown a frame or two more before the pause takes hold. The report follows
        // when the seek has landed.
        parking = true;
        wantPaused = true;
        setPaused(true);
        issueSeek(windowEndSeconds(), true);
        return true;
    }
    return reportProgress(false);
}

bool SWPlayerPrivate::onEof() {
    if (!loaded && !eof)
        return true;
    if (wantPaused || dragging || parking || seekPending)
        return true; // parked at the end by a seek, not played into it
    wantPaused = true;
    if (!reportProgress(true))
        return false;
    if (windowHasEnd())
        return notify([this](SWPlayerDelegate *dl) { dl->playerDidRunedBeyondStopTime(q); });
    return notify([this](SWPlayerDelegate *dl) { dl->playerDidFinished(q); });
}

bool SWPlayerPrivate::reportProgress(bool force) {
    if (duration <= 0)
        return true;
    const double percent = std::clamp(currentSeconds() / duration * 100.0, 0.0, 100.0);
    if (!force && percent == lastPercent)
        return true;
    lastPercent = percent;
    return notify([this, percent](SWPlayerDelegate *dl) { dl->playerInProgress(q, percent); });
}

bool SWPlayerPrivate::reportError(const QString &text) {
    foundation::Log::debug(QStringLiteral("player: ") + text);
    return notify([this, &text](SWPlayerDelegate *dl) { dl->playerErrorDidHappened(q, text); });
}

// ---------------------------------------------------------------------------------------
// Pictures

void SWPlayerPrivate::onRenderUpdate() {
    renderQueued = false;
    if (!render)
        return;
    if (mpv_render_context_update(render) & MPV_RENDER_UPDATE_FRAME)
        drawFrame();
}

QSize SWPlayerPrivate::surfaceSize() const {
    if (videoW <= 0 || videoH <= 0)
        return {};
    QSize s(videoW, videoH);
    if (s.width() > kMaxSurfaceW || s.height() > kMaxSurfaceH)
        s = s.scaled(kMaxSurfaceW, kMaxSurfaceH, Qt::KeepAspectRatio);
    return s.expandedTo(QSize(1, 1));
}

void SWPlayerPrivate::drawFrame() {
    if (!render)
        return;
    // Never wait for the frame's display time here: this is the GUI thread.
    int block = 0;
    const QSize s = surfaceSize();
    if (s.isEmpty()) {
        // Size not known yet: take the frame so the video output does not stall; it is
        // drawn again once the size arrives.
        int skip = 1;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                                     {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(render, params);
        return;
    }
    if (s != bufferSize || !buffer) {
        frame = QImage();
        // 64-byte aligned rows let the software renderer write without a bounce copy.
        stride = (size_t(s.width()) * 4 + 63) & ~size_t(63);
        buffer.reset(static_cast<uchar *>(std::aligned_alloc(64, stride * size_t(s.height()))));
        if (!buffer) {
            bufferSize = QSize();
            return;
        }
        std::memset(buffer.get(), 0, stride * size_t(s.height()));
        bufferSize = s;
    }
    int size[2] = {s.width(), s.height()};
    // Byte order B,G,R,pad on little-endian machines is QImage's 0xffRRGGBB word.
    char format[] = {Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? 'b' : '0', Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? 'g' : 'r',
                     Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? 'r' : 'g', Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? '0' : 'b', 0};
    size_t rowBytes = stride;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                                 {MPV_RENDER_PARAM_SW_FORMAT, format},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &rowBytes},
                                 {MPV_RENDER_PARAM_SW_POINTER, buffer.get()},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    const int rc = mpv_render_context_render(render, params);
    if (rc < 0) {
        foundation::Log::debug(QStringLiteral("player: drawing failed: %1").arg(QLatin1String(mpv_error_string(rc))));
        return;
    }
    // The pad byte is left undefined; QImage's RGB32 wants it opaque.
    for (int y = 0; y < s.height(); ++y) {
        auto *px = reinterpret_cast<quint32 *>(buffer.get() + size_t(y) * stride);
        for (int x = 0; x < s.width(); ++x)
            px[x] |= 0xff000000u;
    }
    frame = QImage(buffer.get(), s.width(), s.height(), qsizetype(stride), QImage::Format_RGB32);
    ++framesDrawn;
    q->update();
    if (fullScreenView)
        fullScreenView->update();
}

void SWPlayerPrivate::paintFrame(QPainter &painter, const QRect &area) const {
    painter.fillRect(area, Qt::black);
    if (frame.isNull() || area.isEmpty())
        return;
    const QSize fitted = frame.size().scaled(area.size(), Qt::KeepAspectRatio);
    const QRect target(area.x() + (area.width() - fitted.width()) / 2, area.y() + (area.height() - fitted.height()) / 2,
                       fitted.width(), fitted.height());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, frame);
}
