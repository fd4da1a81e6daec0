#pragma once
// The player view: a widget that plays one media file with libmpv and draws its pictures.
//
// Threading: every call, and every delegate message, happens on the main (GUI) thread.
//   libmpv works on its own threads; its events and new pictures reach the view as queued
//   calls, so a delegate may call back into the player from any message.
// Units: positions are fractions of the whole file (0.0 = start, 1.0 = end); times are
//   signed 64-bit microseconds; volume is 0..256 with 256 the source level.
// Asynchrony: commands return at once and take effect in order. Queries answer with the
//   state the commands asked for (position() right after seekTo() is the seek's target;
//   isRunning() right after play() is true), so callers may act on them immediately.
// Errors: nothing throws and nothing crashes on bad input; a file or subtitle that cannot
//   be opened is reported through SWPlayerDelegate::playerErrorDidHappened, and the view
//   stays usable (black, no file).
// Lifetime: destroying the view stops playback and frees libmpv; no message is sent to
//   the delegate during or after destruction. The delegate is not owned: a delegate that
//   dies before the view must call setDelegate(nullptr) first.
#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

class SWPlayer;
class SWPlayerPrivate;

// What the player reports. Every method has a default that means "not answered"; the
// player calls them on the main thread only, and the receiver may call into the player
// (or delete it) from any of them.
class SWPlayerDelegate {
public:
    virtual ~SWPlayerDelegate() = default;

    // Playback moved: percent = position × 100 of the whole file (0.0..100.0, fractional).
    // Sent for every new picture while playing and when a seek or frame step lands (if the
    // position changed); not while a seek is under way or during a slider drag
    // (beginToSeek..endSeeking), and never for frames past the play window's end.
    virtual void playerInProgress(SWPlayer *player, double percent) {
        (void)player;
        (void)percent;
    }
    // Playback reached the end of the file with no play window set; the player is paused
    // on the last picture.
    virtual void playerDidFinished(SWPlayer *player) { (void)player; }
    // Playback passed the end of the play window (setPlayStartTimeDuration); the player is
    // paused exactly at the window's end (within one frame). Not answering this message
    // means treating the window's end as the end of playback: the default forwards to
    // playerDidFinished.
    virtual void playerDidRunedBeyondStopTime(SWPlayer *player) { playerDidFinished(player); }
    // The file, or an external subtitle file, could not be opened or played. `error` is a
    // sentence for the log naming the file and the reason.
    virtual void playerErrorDidHappened(SWPlayer *player, const QString &error) {
        (void)player;
        (void)error;
    }
    // The file set by setPlayFile is open: its duration, frame rate and tracks are known and
    // every call works; the first picture follows.
    virtual void playerBecomePlayAble(SWPlayer *player) { (void)player; }
    // The view went full screen / came back (enterFullScreenMode, exitFullScreenMode, Esc).
    virtual void playerEnterFullMode() {}
    virtual void playerExitFullMode() {}
    // The space bar was pressed while the view (or its full-screen window) had the keyboard.
    virtual void playerBlankSpaceKeyDown(SWPlayer *player) { (void)player; }
    // A click (left button press) on the picture.
    virtual void playerMouseDown(SWPlayer *player) { (void)player; }
    // A double click on the picture: the user asks for full screen (or to leave it).
    virtual void wantEnterFullScreen(SWPlayer *player) { (void)player; }
    // Pointer tracking, sent only while isPlayerAndEditor() is true; the pointer's place is
    // QCursor::pos().
    virtual void enterPlayerArea(SWPlayer *player) { (void)player; }
    virtual void exitPlayerArea(SWPlayer *player) { (void)player; }
    virtual void playerMouseMoved(SWPlayer *player) { (void)player; }
};

class SWPlayer : public QWidget {
    Q_OBJECT
public:
    // Creates the view and its libmpv instance (idle, no file). If libmpv cannot start,
    // the view stays black, every command does nothing and initError() says why.
    explicit SWPlayer(QWidget *parent = nullptr);
    ~SWPlayer() override;

    // --- Delegate -------------------------------------------------------------------
    // Not owned; nullptr stops all messages.
    void setDelegate(SWPlayerDelegate *delegate);
    SWPlayerDelegate *delegate() const;

    // --- File -----------------------------------------------------------------------
    // Opens `path` paused on its first picture, replacing the current file; an empty path
    // unloads (black view). Resets the play window to the whole file, the subtitle to none
    // and the audio track to the file's default. playerBecomePlayAble or
    // playerErrorDidHappened follows.
    void setPlayFile(const QString &path);
    // The path last given to setPlayFile (absolute), empty when none.
    QString playFile() const;
    // The file is open and playable (playerBecomePlayAble has been sent for it).
    bool isPlayable() const;

    // --- Transport ------------------------------------------------------------------
    // Plays from the current position. At the end of the file, or at or past the end of
    // the play window, it starts again from the window's start (0 without a window).
    // Before the file is open it takes effect as soon as it is.
    void play();
    // Pauses; the picture stays.
    void pause();
    // Stops playback: paused where it is, any pending end-of-window report dropped. The
    // file stays open (seekTo and play work as before).
    void stop();
    // Playing (or asked to play while the file opens); false when paused, stopped,
    // finished, without a file or after an error.
    bool isRunning() const;
    // Seeks exactly (to the frame at that time) to a fraction of the whole file, clamped
    // to 0..1. During a drag of a view that is not an absolute editor, seeks go to a
    // keyframe next to the target for speed and endSeeking() lands exactly on the last one.
    // Before the file is open the seek is kept and done when it opens.
    void seekTo(double position);
    // Current position as a fraction of the whole file (the pending seek's target while a
    // seek is under way); 0 without a file.
    double position() const;
    // A seek (or the settling at the play window's end) has been asked for and has not
    // landed yet.
    bool isSeeking() const;
    // 0..256 (clamped), 256 = the source level; mapped linearly onto libmpv's 0..100.
    // Kept across files.
    void setVolume(int volume);
    int volume() const;
    // The level libmpv plays at, 0..100 (its own scale), as libmpv reports it.
    double engineVolume() const;
    // Around a slider drag: beginToSeek pauses (remembering whether it played) and holds
    // back progress and end-of-window reports; endSeeking lands the last seek exactly and
    // resumes if it was playing. endSeeking without beginToSeek does nothing.
    void beginToSeek();
    void endSeeking();
    // Play window, microseconds: playback stops (pauses) at startUs + durationUs and sends
    // playerDidRunedBeyondStopTime. (-1, -1) = the whole file; durationUs < 0 = no end;
    // startUs < 0 = 0. Does not seek; play() restarts at startUs once the end is reached.
    // setPlayFile resets it.
    void setPlayStartTimeDuration(int64_t startUs, int64_t durationUs);
    int64_t playStartTime() const;
    int64_t playDuration() const;
    // Pauses, then shows exactly the next frame; progress follows. Nothing without a file.
    void gotoNextFrame();

    // --- Tracks ---------------------------------------------------------------------
    // Shows the embedded subtitle stream with this FFmpeg stream number (as in
    // SWMediaInfoManager::subtitleStreamIndexs); -1 = no subtitle. Replaces an external one.
    void changeSubtitle(int streamNumber);
    // Plays the audio stream with this FFmpeg stream number (as in audioStreamIndexs);
    // -1 = silence. Numbers that are not audio streams of the file are ignored (noted in
    // the debug log) and leave the choice as it was.
    void changeAudioTrack(int streamNumber);
    // Adds an external subtitle file (SubRip and the other text formats libmpv reads) to
    // the current file and shows it; the same path again just shows it again. A file that
    // cannot be read is reported through playerErrorDidHappened.
    void loadPluginSubtitle(const QString &path);
    // The FFmpeg stream number of the audio / embedded subtitle stream playing now; -1 for
    // none (or an external subtitle). Asks libmpv: the answer reflects commands it has run.
    int currentAudioStreamNumber() const;
    int currentSubtitleStreamNumber() const;
    // The external subtitle file shown now, empty when none.
    QString currentExternalSubtitle() const;
    // Channels of the audio being played (after decoding); 0 when none.
    int audioChannelCount() const;

    // --- Modes ----------------------------------------------------------------------
    // The view serves a trim editor: drags seek frame-exactly all the way.
    void setIsAbsoluteEditor(bool value);
    bool isAbsoluteEditor() const;
    // The view is the combined player-editor's picture: pointer tracking messages
    // (enterPlayerArea, exitPlayerArea, playerMouseMoved) are sent.
    void setIsPlayerAndEditor(bool value);
    bool isPlayerAndEditor() const;

    // --- Full screen ------------------------------------------------------------------
    // The picture fills a frameless full-screen window on the view's screen; the view
    // itself stays where it is. Esc or exitFullScreenMode leaves it.
    bool isInFullScreenMode() const;
    // Toggles full screen.
    void fullScreen();
    // Enter / leave full screen; each sends its delegate message only when the mode
    // changes.
    void enterFullScreenMode();
    void exitFullScreenMode();
    // The full-screen window while in full screen (what floats over the picture belongs to
    // it), else nullptr.
    QWidget *fullScreenWindow() const;

    // --- Inspection (tests and the interface) -----------------------------------------
    // Media time of the current position, microseconds (the pending seek's target while a
    // seek is under way).
    int64_t currentTimeUs() const;
    // Where the times above start on the open file's own clock, microseconds: a demuxer may
    // count from the file's first packet of any stream, not from zero.
    int64_t clockStartUs() const;
    // Duration of the open file, microseconds; 0 without a file.
    int64_t durationUs() const;
    // Frames per second of the video stream as the container states it; 0 without video.
    double frameRate() const;
    // A copy of the last picture drawn (the video at up to 1920x1080, subtitles included),
    // without bars; null before the first picture.
    QImage currentFrame() const;
    // Number of pictures drawn since the view was created.
    quint64 renderedFrameCount() const;
    // Why libmpv could not start; empty when it runs.
    QString initError() const;

    // Audio output for views created afterwards: a libmpv "ao" value such as "null"
    // (no sound device, still timed), "pulse" or "" for libmpv's default. When never set,
    // the environment variable CINVORA_AUDIO_OUT is used.
    static void setDefaultAudioOutput(const QString &ao);
    static QString defaultAudioOutput();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    friend class SWPlayerPrivate;
    friend class SWFullScreenView;
    std::unique_ptr<SWPlayerPrivate> d;
};
