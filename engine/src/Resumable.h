#pragma once
// A conversion that keeps its work: the video is encoded in parts of kPartUs, each a
// separate encode that begins on a key picture, into the hidden work folder beside the
// output (foundation::Files::workPathFor); the sound is encoded in one piece beside them;
// the finished parts are joined by stream copy into the partial file. A journal in the
// folder lists the parts that are complete and on the disk, with a key made of the
// option's fingerprint and the source's identity. After an interruption (a kill, a crash,
// a lost session) the same conversion of the same unchanged source finds the journal and
// encodes only what is missing; a different key clears the folder and starts from zero.
//
// Why the sound is not cut with the pictures: an audio encoder works in frames of its own
// (1024 samples for AAC) and primes each new stream with silence it asks the player to
// skip; parts encoded separately would carry that priming at every join, a gap and a
// click, or would have to overlap and be trimmed at frame edges the muxers describe
// differently. Encoded in one piece it is the same stream a conversion without parts
// makes, sample for sample; it costs a fraction of the pictures' time and is simply done
// again when it was interrupted before its end.
//
// What resumes: conversions that re-encode the video at the source's frame rate and are at
// least two parts long. Copies, audio-only conversions, frame-rate changes (whose frames
// would not fall on the same part edges) and conversions that keep subtitle tracks (a
// work file holds one stream, and the join carries the picture and the sound only) are
// written in one piece as before.
// Internal to engine/.
#include "Transcoder.h"

#include <QString>
#include <functional>
#include <optional>

namespace fw {

// What is in a work folder's journal; read and written only here and by the session's
// static queries.
struct WorkJournal {
    QString key;
    QString source;
    double keptPercent = 0;
    int64_t soundBytes = -1; // -1: the sound is not done
    std::map<int, int64_t> parts;

    static std::optional<WorkJournal> read(const QString &folder);
    // Replaces the journal in one step and puts it and the folder's entries on the disk.
    bool write(const QString &folder) const;
};

class Resumable {
public:
    // Parts of this length. A part costs the encoder's restart and a seek that decodes from
    // the source's previous key picture; at 30 s that is lost in the noise of the processor
    // time and adds well under 0.1 % to the size (bench/resume_bench.sh), and an
    // interruption loses at most half a minute of encoding.
    static constexpr int64_t kPartUs = 30'000'000;
    // The sound's sample, encoded once more with the whole: long enough that its pace is
    // not the noise of opening the file, about a tenth of a second for stereo AAC.
    static constexpr int64_t kSoundSampleUs = 2'000'000;

    Resumable(const ConvertRequest &request, SessionControl &control, std::function<void(double)> progress);
    ~Resumable();
    Resumable(const Resumable &) = delete;
    Resumable &operator=(const Resumable &) = delete;

    // Whether this conversion is written in parts; surveys the input and takes the work
    // folder (clearing it when `afresh` or when what it holds was made from something
    // else). False: convert in one piece, nothing was touched.
    bool prepare(bool afresh);
    // Percent of the conversion found done in the folder (after prepare()).
    double keptPercent() const { return _journal.keptPercent; }
    bool resumed() const { return _resumed; }
    // Encodes what is missing and joins the parts into the request's partial file.
    bool run(QString *error);
    // The join's writer, whose output file the session checks and removes on failure.
    const Transcoder *joiner() const { return _joiner.get(); }
    // What the output lacks that the input had, as a conversion in one piece would say.
    QStringList notes() const { return _survey.notes; }
    // The picture's likeness to its source over the whole file, combined from the parts'
    // own measurements; nothing when any part was encoded by an earlier run (its figures
    // went with that run, and a figure for the parts of this run alone would pass for the
    // whole file's) or when a part could not be measured.
    std::optional<MeasuredQuality> measuredQuality() const;
    // Removes the work folder (a finished, stopped or failed conversion).
    void discard();

    // Work folders in `folder` that nobody holds whose source is gone, or that never got
    // a journal, are removed. Returns how many.
    static int removeStale(const QString &folder);
    // Removes one work folder unless a conversion holds it.
    static bool remove(const QString &work);

private:
    QString partPath(int k) const;
    QString soundPath() const;
    QString makeKey() const;
    double percentOf(double framesDone) const;
    // Runs one part; progress gets the fraction of it done.
    bool runPass(ConvertRequest request, const std::function<void(double)> &progress, QString *error);
    // What encoding the whole sound will take in active seconds, from its first
    // kSoundSampleUs encoded on their own; 0 (not known) when they cannot be.
    double sampleSound(const ConvertRequest &sound);

    ConvertRequest _req;
    SessionControl &_control;
    std::function<void(double)> _progress;
    Survey _survey;
    QString _folder;
    int _lockFd = -1;
    int64_t _framesPerPart = 0, _frames = 0;
    int _count = 0;
    WorkJournal _journal;
    bool _resumed = false;
    std::unique_ptr<Transcoder> _joiner;
    // This run's measurements of its parts, and whether every part was encoded by it.
    std::vector<std::optional<MeasuredQuality>> _measured;
};

} // namespace fw
