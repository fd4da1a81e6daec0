#pragma once
// Settings, standard folders, the program's name, confirmation button titles and the
// stream-number helpers shared by the program and the libraries.
#include <QImage>
#include <QRectF>
#include <QString>
#include <memory>

class LXMediaInfo;

class LXMediaCommon {
public:
    // Settings (each read synchronises the store first; each write synchronises at once).
    // The number of conversions at once: 2 when absent; a stored value outside the range
    // the settings sheet offers reads as the nearest end of it (an edited or hostile
    // settings file never starts a thousand conversions, nor none).
    static constexpr int64_t kMinConvertingCount = 1;
    static constexpr int64_t kMaxConvertingCount = 10;
    static int64_t maxConvertingCountSameTime();
    static void setMaxConvertingCountSameTime(int64_t count);
    static bool autoCheckStreamCopyWhenSameCodec();
    static void setAutoCheckStreamCopyWhenSameCodec(bool on);
    // Even loudness for the list's conversions (settings key "evenLoudness", off unless set).
    static bool evenLoudness();
    static void setEvenLoudness(bool on);
    // The stored folder, or Movies/<program name> (created when missing, never stored).
    static QString exportMovieFolder();
    static void setExportMovieFolder(const QString &path);
    static bool showTipAgainWhenChangeOutputFmt();
    static void setShowTipAgainWhenChangeOutputFmt(bool on);

    static QString currentApplicationName();
    // The user's Movies (Videos) folder, or empty.
    static QString movieFolder();
    // The user's data folder (XDG data home), or empty.
    static QString applicationSupportFolder();
    // Reveals the path selected in the file manager; nothing when it does not exist.
    static void selectFileInFinder(const QString &path);

    static QString yesStr();
    static QString noStr();
    static QString okStr();

    // Stream number of the item's chosen subtitle / audio entry: a negative index is
    // returned unchanged; an index into the probe's list answers that stream's number; an
    // index past the list (an empty one too) answers -1. The item is never changed.
    static int subTitleIndex(const LXMediaInfo &item);
    static int audioStreamIndex(const LXMediaInfo &item);

    // The floating bar's rectangle in screen points, origin at the lower left:
    // 603 x 59 at y = 59, centred on the main screen (x = -301.5 without a screen).
    static QRectF flowRect();
    static QRectF flowRectForScreenWidth(double screenWidth);

    // The picture shown for an item whose file has no picture of its own.
    static QImage defaultMovieImage();
};
