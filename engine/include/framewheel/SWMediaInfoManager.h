#pragma once
// The media probe. Reads a file's container and stream headers with libavformat.
//
// Threading: a probe is immutable after construction; any thread may read it.
// Ownership: shared by a media item and its copies (std::shared_ptr).
// Errors: a file that cannot be read yields a probe with isValid() false, error() set and
//   every query answering zero or empty. Construction never blocks for longer than
//   kOpenTimeoutMs on a file that keeps the demuxer busy.
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdint>
#include <memory>

struct SWStreamDetail {
    int number = -1;     // FFmpeg's stream index
    QString name;        // readable by a person: "English – AAC stereo"
    QString codec;       // FFmpeg codec name: "aac", "subrip"
    QString language;    // ISO 639-2 code as stored, or empty
    int channels = 0;    // audio only
    int sampleRate = 0;  // audio only
    bool bitmap = false; // subtitle only: picture-based subtitle (DVD, PGS)
};

class SWMediaInfoManager {
public:
    static constexpr int kOpenTimeoutMs = 15000;

    // Cheap: the file is a regular, non-empty file whose format libavformat recognises
    // and that holds at least one audio or video stream (headers only, no decoding).
    static bool canOpenFile(const QString &path);

    // Probes the file. With `withThumbnail`, also decodes one picture from a moment into
    // the clip for the list's row (see thumbnailImage()).
    static std::shared_ptr<SWMediaInfoManager> initWithFile(const QString &path, bool withThumbnail = true);
    explicit SWMediaInfoManager(const QString &path, bool withThumbnail = true);
    ~SWMediaInfoManager();

    // What a valid probe found, as plain values a property list can hold (no picture), so
    // that a saved list can give its rows back without reading every file again.
    QVariantMap storedFields() const;
    // A probe rebuilt from storedFields() of the same file, without opening it; null when
    // the map is not such a record (an older list, or one edited by hand).
    static std::shared_ptr<SWMediaInfoManager> fromStoredFields(const QString &path, const QVariantMap &fields);

    bool isValid() const { return _valid; }
    QString error() const { return _error; }

    QString path() const { return _path; }
    // The file's size and modification time (ns since the epoch) as they were just before
    // it was read: a file that still shows both is taken to hold what the probe found.
    int64_t fileSize() const { return _fileSize; }
    int64_t fileModifiedNs() const { return _fileModifiedNs; }
    // A real picture stream; cover art attached to an audio file does not count.
    bool hasVideo() const { return _hasVideo; }
    // Microseconds.
    int64_t duration() const { return _duration; }
    // Displayed size: rotation and the sample aspect ratio applied.
    uint64_t width() const { return _width; }
    uint64_t height() const { return _height; }
    // Coded size of the video stream, as stored.
    uint64_t codedWidth() const { return _codedWidth; }
    uint64_t codedHeight() const { return _codedHeight; }
    int rotation() const { return _rotation; }
    // Sample rate of the first audio stream, Hz; 0 without audio.
    unsigned samples() const { return _samples; }
    // Average frame rate of the video stream (29.97 stays 29.97); 0 without video.
    double framerate() const { return _framerate; }
    // The stored time of the video stream's first picture, microseconds, on the file's own
    // clock (not counted from the file's start); 0 without video or a stated start.
    int64_t videoStartTime() const { return _videoStartTime; }
    // A frame from a moment into the clip, fitted into 156x100 with a device pixel ratio
    // of 2 (the row draws it at 78x50). Null when the file has no decodable picture.
    QImage thumbnailImage() const { return _thumbnail; }

    QStringList subtitles() const;
    QStringList audioStreamNames() const;
    QList<int> subtitleStreamIndexs() const;
    QList<int> audioStreamIndexs() const;

    // More detail for the command line and the tests.
    QString formatName() const { return _formatName; }
    QString videoCodec() const { return _videoCodec; }
    int videoStreamNumber() const { return _videoStream; }
    const QList<SWStreamDetail> &audioStreams() const { return _audio; }
    const QList<SWStreamDetail> &subtitleStreams() const { return _subtitles; }

private:
    SWMediaInfoManager() = default;
    void probe(bool withThumbnail);

    QString _path;
    bool _valid = false;
    QString _error;
    bool _hasVideo = false;
    int64_t _duration = 0;
    uint64_t _width = 0, _height = 0, _codedWidth = 0, _codedHeight = 0;
    int _rotation = 0;
    unsigned _samples = 0;
    double _framerate = 0.0;
    int64_t _videoStartTime = 0;
    int64_t _fileSize = -1, _fileModifiedNs = -1;
    QImage _thumbnail;
    QString _formatName, _videoCodec;
    int _videoStream = -1;
    QList<SWStreamDetail> _audio, _subtitles;
};
