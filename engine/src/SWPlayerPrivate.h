#pragma once
// The libmpv side of SWPlayer: the handle, the software render context, the event pump and
// the playback state the public calls read. Internal to engine/.
#include "framewheel/SWPlayer.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <QHash>
#include <QList>
#include <QPointer>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <optional>

class QKeyEvent;
class QPainter;

class SWPlayerPrivate {
public:
    explicit SWPlayerPrivate(SWPlayer *owner);
    // Detaches every libmpv callback, frees the render context, then the handle.
    ~SWPlayerPrivate();
    SWPlayerPrivate(const SWPlayerPrivate &) = delete;
    SWPlayerPrivate &operator=(const SWPlayerPrivate &) = delete;

    // One track of libmpv's track list.
    struct Track {
        int64_t id = 0;
        QString type; // "video", "audio", "sub"
        int ffIndex = -1;
        bool external = false;
        QString externalFile;
        bool selected = false;
    };

    // --- called by SWPlayer -----------------------------------------------------------
    void openFile(const QString &path);
    void play();
    void pause();
    void stop();
    void seekTo(double position);
    void beginToSeek();
    void endSeeking();
    void gotoNextFrame();
    void setVolume(int volume);
    void setWindow(int64_t startUs, int64_t durationUs);
    void changeSubtitle(int streamNumber);
    void changeAudioTrack(int streamNumber);
    void loadPluginSubtitle(const QString &path);
    bool isRunning() const;
    double currentSeconds() const;
    double position() const;
    QList<Track> tracks() const;
    int64_t intProperty(const char *name, int64_t fallback) const;
    double doubleProperty(const char *name, double fallback) const;
    void paintFrame(QPainter &painter, const QRect &area) const;

    // Calls the delegate; false when the player was destroyed meanwhile (the caller must
    // then return without touching anything).
    template <typename F> bool notify(F &&f) {
        QPointer<SWPlayer> alive(q);
        if (delegate)
            f(delegate);
        return !alive.isNull();
    }

    SWPlayer *q;
    SWPlayerDelegate *delegate = nullptr;
    mpv_handle *mpv = nullptr;
    mpv_render_context *render = nullptr;
    QString initError;

    // File.
    QString path;
    uint64_t loadSerial = 0;   // serial of the latest load request
    int loadsInFlight = 0;     // load commands whose reply has not arrived
    int64_t wantedEntry = -1;  // libmpv playlist entry of the latest load
    int64_t playingEntry = -1; // entry of the last start-file event
    bool loaded = false;
    bool failed = false;
    bool eof = false;
    bool wantPaused = true;
    double timePos = 0.0;
    // Where the player's clock starts on the file's own clock (its times count from here).
    double demuxerStart = 0.0;
    double duration = 0.0;
    double fps = 0.0;
    int videoW = 0, videoH = 0;

    // Seeks.
    int seeksInFlight = 0;
    uint64_t seekSerial = 0;
    bool seekPending = false;             // a seek was asked for and has not landed
    double seekTarget = 0.0;              // seconds
    std::optional<double> seekBeforeLoad; // fraction
    // Where an exact seek parked the paused player. A track switch reloads the track and
    // libmpv's own refresh seek may land elsewhere (on a key picture) after our seek already
    // reported done; the player goes back here when that happens.
    std::optional<double> heldAt; // seconds
    int heldRetries = 0;
    bool dragging = false;
    bool resumeAfterDrag = false;
    bool dragSoughtFast = false;
    double dragTarget = 0.0;

    // Play window.
    int64_t windowStartUs = -1, windowDurationUs = -1;
    bool parking = false; // stopped at the window's end, settling there
    double lastPercent = -1.0;

    // Track choices made before the file opened.
    std::optional<int> audioBeforeLoad;
    enum class SubChoice { Unset, Stream, External };
    SubChoice subBeforeLoad = SubChoice::Unset;
    int subStreamBeforeLoad = -1;
    QString subFileBeforeLoad;

    // External subtitle files asked for, by request serial, until libmpv answers.
    QHash<uint64_t, QString> subtitleRequests;
    uint64_t subtitleSerial = 0;

    int volume = 256;
    bool absoluteEditor = false;
    bool playerAndEditor = false;

    // Pictures.
    struct FreeDeleter {
        void operator()(uchar *p) const { std::free(p); }
    };
    std::unique_ptr<uchar, FreeDeleter> buffer;
    QSize bufferSize;
    size_t stride = 0;
    QImage frame; // wraps buffer
    quint64 framesDrawn = 0;

    // The frameless full-screen window showing the same pictures; null when windowed.
    QPointer<QWidget> fullScreenView;

    // Pointer and keyboard input, from the view or its full-screen window.
    void mouseDown();
    void doubleClick();
    void pointerEntered();
    void pointerLeft();
    void pointerMoved();
    bool keyDown(QKeyEvent *event);

private:
    void start();
    void onWakeup();
    void onRenderUpdate();
    void drawFrame();
    QSize surfaceSize() const;
    // Handles one event; false when the player died in a delegate message.
    bool handleEvent(const mpv_event &event);
    bool onPropertyChange(const mpv_event &event);
    bool onCommandReply(const mpv_event &event);
    bool onFileLoaded();
    bool onEndFile(const mpv_event_end_file &end);
    bool onPlaybackRestart();
    bool onTimeChanged();
    // Back to heldAt when something moved the paused player off it; true when a seek went out.
    bool restoreHeldPosition();
    bool onEof();
    bool reportProgress(bool force);
    bool reportError(const QString &text);
    void resetFileState();

    void command(uint64_t tag, std::initializer_list<const char *> args);
    void setProperty(const char *name, const QByteArray &value);
    void setPaused(bool paused);
    void issueSeek(double seconds, bool exact);
    bool windowHasEnd() const;
    double windowEndSeconds() const;
    double windowStartSeconds() const;
    double frameSeconds() const;
    void applyAudio(int streamNumber);
    void applySubtitleStream(int streamNumber);
    void applyExternalSubtitle(const QString &file);

    static void wakeupCallback(void *ctx);
    static void renderUpdateCallback(void *ctx);

    std::atomic<bool> wakeupQueued{false};
    std::atomic<bool> renderQueued{false};
    bool inEvents = false;
};
