#include "Resumable.h"

#include <foundation/Files.h>
#include <foundation/Log.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

namespace {

const QString kJournal = QStringLiteral("journal");
const QString kLock = QStringLiteral("lock");
const QByteArray kJournalHead = "cinvora-work 1";

void syncFolder(const QString &folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Held while a conversion uses the folder, so that a clean-up by another start leaves it.
int lockFolder(const QString &folder) {
    const int fd =
        ::open(QFile::encodeName(QDir(folder).filePath(kLock)).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The source as it is now: a file changed in place keeps its name, and may keep its size
// and even its time, but not the bytes at both ends.
QByteArray sourceIdentity(const QString &path) {
    QByteArray id;
    struct stat sb {};
    if (::stat(QFile::encodeName(path).constData(), &sb) != 0)
        return id;
    id += QByteArray::number(qint64(sb.st_size)) + ' ' + QByteArray::number(qint64(sb.st_mtim.tv_sec)) + '.' +
          QByteArray::number(qint64(sb.st_mtim.tv_nsec)) + ' ';
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) {
        constexpr qint64 kMiB = 1 << 20;
        QCryptographicHash h(QCryptographicHash::Sha256);
        h.addData(f.read(kMiB));
        if (f.size() > kMiB && f.seek(f.size() - kMiB))
            h.addData(f.read(kMiB));
        id += h.result().toHex();
    }
    return id;
}

} // namespace

std::optional<WorkJournal> WorkJournal::read(const QString &folder) {
    QFile f(QDir(folder).filePath(kJournal));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> lines = f.readAll().split('\n');
    if (lines.isEmpty() || lines.first() != kJournalHead)
        return std::nullopt;
    WorkJournal j;
    for (const QByteArray &line : lines.mid(1)) {
        const QList<QByteArray> w = line.split(' ');
        bool ok = true;
        if (w.size() == 2 && w[0] == "key")
            j.key = QString::fromLatin1(w[1]);
        else if (w.size() == 2 && w[0] == "source")
            j.source = QString::fromUtf8(QByteArray::fromPercentEncoding(w[1]));
        else if (w.size() == 2 && w[0] == "kept")
            j.keptPercent = w[1].toDouble(&ok);
        else if (w.size() == 2 && w[0] == "sound")
            j.soundBytes = w[1].toLongLong(&ok);
        else if (w.size() == 3 && w[0] == "part")
            j.parts[w[1].toInt(&ok)] = w[2].toLongLong();
        if (!ok)
            return std::nullopt;
    }
    if (j.key.isEmpty())
        return std::nullopt;
    return j;
}

bool WorkJournal::write(const QString &folder) const {
    QByteArray text = kJournalHead + '\n';
    text += "key " + key.toLatin1() + '\n';
    text += "source " + source.toUtf8().toPercentEncoding() + '\n';
    text += "kept " + QByteArray::number(keptPercent, 'f', 3) + '\n';
    if (soundBytes >= 0)
        text += "sound " + QByteArray::number(soundBytes) + '\n';
    for (const auto &[k, bytes] : parts)
        text += "part " + QByteArray::number(k) + ' ' + QByteArray::number(bytes) + '\n';
    // QSaveFile writes aside, syncs and renames: a kill leaves the old journal or the new.
    QSaveFile f(QDir(folder).filePath(kJournal));
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.commit())
        return false;
    // The rename, and the parts' own entries, are durable with the folder's.
    syncFolder(folder);
    return true;
}

Resumable::Resumable(const ConvertRequest &request, SessionControl &control, std::function<void(double)> progress)
    : _req(request), _control(control), _progress(std::move(progress)) {}

Resumable::~Resumable() {
    if (_lockFd >= 0)
        ::close(_lockFd);
}

QString Resumable::partPath(int k) const {
    return QDir(_folder).filePath(QStringLiteral("video-%1").arg(k, 5, 10, QLatin1Char('0')));
}
QString Resumable::soundPath() const { return QDir(_folder).filePath(QStringLiteral("sound")); }

QString Resumable::makeKey() const {
    const SWConvertOption &o = _req.option;
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(kJournalHead);
    h.addData(o.fingerprint().toUtf8());
    h.addData(QFileInfo(_req.input).absoluteFilePath().toUtf8());
    h.addData(sourceIdentity(_req.input));
    if (o.usePluginSubtitle() && !_req.pluginSubtitle.isEmpty()) {
        h.addData(QFileInfo(_req.pluginSubtitle).absoluteFilePath().toUtf8());
        h.addData(sourceIdentity(_req.pluginSubtitle));
    }
    h.addData(QFileInfo(_req.output).absoluteFilePath().toUtf8());
    h.addData(QByteArray::number(qint64(_framesPerPart)) + ' ' + QByteArray::number(_survey.frameRate.num) + '/' +
              QByteArray::number(_survey.frameRate.den));
    return QString::fromLatin1(h.result().toHex());
}

double Resumable::percentOf(double framesDone) const {
    // What parts done are worth when a run takes them up: their frames' share of all but
    // the join, which is quick beside the pictures.
    const double join = 1.0;
    return (100.0 - join) * framesDone / double(std::max<int64_t>(1, _frames));
}

bool Resumable::prepare(bool afresh) {
    const SWConvertOption &o = _req.option;
    if (o.video_disable())
        return false;
    QString why;
    Transcoder surveyor(_req, _control, {});
    if (!surveyor.survey(&_survey, &why) || !_survey.encodesVideo || _survey.changesRate ||
        _survey.frameRate.num <= 0 || _survey.frameRate.den <= 0 || _survey.lengthUs <= 0 ||
        _survey.keepsSubtitleTracks)
        return false;
    const AVRational frameTime = av_inv_q(_survey.frameRate);
    _framesPerPart = std::max<int64_t>(1, av_rescale_q(kPartUs, AV_TIME_BASE_Q, frameTime));
    _frames = av_rescale_q(_survey.lengthUs, AV_TIME_BASE_Q, frameTime);
    _count = int((_frames + _framesPerPart - 1) / _framesPerPart);
    // Shorter than two parts: over in about the time a resume would save.
    if (_count < 2)
        return false;

    _folder = foundation::Files::workPathFor(_req.output);
    const QFileInfo there(_folder);
    if (there.exists() && (!there.isDir() || there.isSymLink()))
        return false;
    if (!there.exists() && ::mkdir(QFile::encodeName(_folder).constData(), 0700) != 0)
        return false;
    _lockFd = lockFolder(_folder);
    if (_lockFd < 0)
        return false; // another run holds it: this one converts in one piece

    const QString key = makeKey();
    std::optional<WorkJournal> found = afresh ? std::nullopt : WorkJournal::read(_folder);
    if (found && found->key == key) {
        _journal = *found;
        // A part counts only as the size it had when it was done.
        for (auto it = _journal.parts.begin(); it != _journal.parts.end();)
            it = (it->first >= 0 && it->first < _count && QFileInfo(partPath(it->first)).size() == it->second)
                     ? std::next(it)
                     : _journal.parts.erase(it);
        if (_journal.soundBytes >= 0 && QFileInfo(soundPath()).size() != _journal.soundBytes)
            _journal.soundBytes = -1;
        _resumed = !_journal.parts.empty() || _journal.soundBytes >= 0;
    } else {
        _journal = WorkJournal{};
        _journal.key = key;
    }
    _journal.source = QFileInfo(_req.input).absoluteFilePath();
    int64_t framesDone = 0;
    for (const auto &[k, bytes] : _journal.parts) {
        (void)bytes;
        framesDone += k == _count - 1 ? _frames - int64_t(k) * _framesPerPart : _framesPerPart;
    }
    _journal.keptPercent = percentOf(double(framesDone));
    // What the journal does not list is an unfinished part or another conversion's work.
    const QStringList entries = QDir(_folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : entries) {
        const QString path = QDir(_folder).filePath(name);
        bool keep = name == kLock || name == kJournal || (path == soundPath() && _journal.soundBytes >= 0);
        for (const auto &[k, bytes] : _journal.parts)
            keep = keep || path == partPath(k);
        if (!keep)
            QFile::remove(path);
    }
    if (!_journal.write(_folder))
        foundation::Log::line(QStringLiteral("Cannot write the work journal in %1").arg(_folder));
    return true;
}

namespace {

// The progress of a conversion in parts as the share of its expected time that is spent.
// What is left of the pictures: the frames left at the pace this run's parts have shown,
// and each part's start-up (opening, the encoder's look-ahead) as the first part took it.
// What is left of the sound: what its sample said until it runs, then its own pace. Times
// are active seconds (pauses left out).
class PartsClock {
public:
    PartsClock(int64_t framesToDo, int partsToDo, double soundSeconds)
        : _framesToDo(std::max<int64_t>(1, framesToDo)), _partsNotBegun(partsToDo), _soundSampled(soundSeconds),
          _soundLeft(soundSeconds) {}

    void partBegins(int64_t frames) {
        _inPart = true;
        _partFrames = frames;
        _partDone = 0;
        _partSeconds = 0;
        --_partsNotBegun;
        ++_partsBegun;
    }
    // The part under way has encoded `fraction` of its frames in `seconds`.
    void partAt(double fraction, double seconds) {
        if (_startup < 0 && fraction > 0)
            _startup = seconds;
        _partDone = double(_partFrames) * std::clamp(fraction, 0.0, 1.0);
        _partSeconds = seconds;
    }
    void partEnds(double seconds) {
        partAt(1.0, seconds);
        _framesDone += _partFrames;
        _picturesSpent += seconds;
        _partFrames = 0;
        _partDone = 0;
        _partSeconds = 0;
        _inPart = false;
    }
    // The sound has encoded `fraction` of itself in `seconds`; done at 1.
    void soundAt(double fraction, double seconds) {
        fraction = std::clamp(fraction, 0.0, 1.0);
        _soundSpent = seconds;
        // Its own pace once it has shown one; until then what the sample said.
        if (fraction >= 1.0)
            _soundLeft = 0;
        else if (fraction >= 0.05)
            _soundLeft = seconds / fraction * (1.0 - fraction);
        else
            _soundLeft = std::max(0.0, _soundSampled - seconds);
    }
    // 0..1; negative until the pictures have shown a pace.
    double done() const {
        const double frames = double(_framesDone) + _partDone;
        const double pictures = _picturesSpent + _partSeconds;
        if (_startup < 0 || frames < 0.02 * double(_framesToDo) / double(std::max(1, _partsBegun + _partsNotBegun)))
            return -1;
        // Each part begun has spent its start-up, the one under way no more than its time.
        const double startups =
            _inPart ? _startup * (_partsBegun - 1) + std::min(_startup, _partSeconds) : _startup * _partsBegun;
        const double working = std::max(1e-3, pictures - startups);
        const double picturesLeft =
            working / frames * std::max(0.0, double(_framesToDo) - frames) + _startup * _partsNotBegun;
        const double spent = pictures + _soundSpent;
        return spent / std::max(1e-6, spent + picturesLeft + _soundLeft);
    }

private:
    int64_t _framesToDo;
    int _partsNotBegun;
    int _partsBegun = 0;
    bool _inPart = false;
    int64_t _framesDone = 0, _partFrames = 0;
    double _partDone = 0, _partSeconds = 0, _picturesSpent = 0;
    double _startup = -1;
    double _soundSampled, _soundSpent = 0, _soundLeft;
};

} // namespace

bool Resumable::runPass(ConvertRequest request, const std::function<void(double)> &progress, QString *error) {
    const bool videoPart = request.pass == WorkPass::VideoPart;
    Transcoder pass(std::move(request), _control, [&](double p) { progress(std::clamp(p, 0.0, 100.0) / 100.0); });
    const bool ok = pass.run(error);
    if (ok && videoPart)
        _measured.push_back(pass.measuredQuality());
    return ok;
}

std::optional<MeasuredQuality> Resumable::measuredQuality() const {
    if (_measured.size() != size_t(_count))
        return std::nullopt;
    std::vector<MeasuredQuality> parts;
    for (const auto &m : _measured) {
        if (!m)
            return std::nullopt;
        parts.push_back(*m);
    }
    return combineMeasured(parts);
}

double Resumable::sampleSound(const ConvertRequest &sound) {
    const int64_t length = _survey.lengthUs;
    const int64_t sampleUs = std::min(kSoundSampleUs, length);
    ConvertRequest sample = sound;
    sample.writeTo = QDir(_folder).filePath(QStringLiteral("sound-sample"));
    sample.mayBeEmpty = true; // a sound that begins later has nothing in its first seconds
    sample.option.setRecording_time(sampleUs);
    const Stopwatch watch(_control);
    // The pace from its first report on, and the time before it (opening, the encoder's
    // start) once, as the whole sound will take them.
    double firstAt = -1, firstPercent = 0;
    Transcoder pass(std::move(sample), _control, [&](double p) {
        if (firstAt < 0 && p > 0) {
            firstAt = watch.seconds();
            firstPercent = std::clamp(p, 0.0, 99.0);
        }
    });
    QString why;
    const bool ok = pass.run(&why);
    const double took = watch.seconds();
    QFile::remove(QDir(_folder).filePath(QStringLiteral("sound-sample")));
    if (!ok) {
        // A forecast, never a reason to fail: the sound's own pace takes over once it runs.
        if (!_control.cancelled())
            foundation::Log::debug(QStringLiteral("kept work: the sound's sample failed: %1").arg(why));
        return 0;
    }
    const double sampleSeconds = double(sampleUs) / 1e6, lengthSeconds = double(length) / 1e6;
    const double pace = firstAt >= 0 && took > firstAt
                            ? (took - firstAt) / (sampleSeconds * (1.0 - firstPercent / 100.0))
                            : took / std::max(1e-3, sampleSeconds);
    const double predicted = took + pace * std::max(0.0, lengthSeconds - sampleSeconds);
    foundation::Log::debug(QStringLiteral("kept work: %1 s of sound encoded in %2 s; the whole sound should take %3 s")
                               .arg(sampleSeconds)
                               .arg(took)
                               .arg(predicted));
    return predicted;
}

bool Resumable::run(QString *error) {
    const SWConvertOption &o = _req.option;
    const AVRational frameTime = av_inv_q(_survey.frameRate);
    const int64_t start = std::max<int64_t>(0, o.start_time());
    // The progress is what the remaining time is read from, so it should move with the
    // time: it is the share of the expected time that is spent (PartsClock). The sound is
    // made after the first part, whose pace says what the pictures left will take; what the
    // sound will take is measured before that on a few seconds of it. Given fixed shares
    // (the pictures by their frames, the sound a guess and then its pace beside the parts
    // left), the stretches after the first part ran at another pace than the first: the
    // remaining time of a 40 s clip beside another ran out seconds before its end.
    const double joinShare = 100.0 - percentOf(double(_frames));
    int64_t framesToDo = 0;
    int partsToDo = 0;
    for (int k = 0; k < _count; ++k)
        if (!_journal.parts.count(k)) {
            framesToDo += k == _count - 1 ? _frames - int64_t(k) * _framesPerPart : _framesPerPart;
            ++partsToDo;
        }
    const double from = _journal.keptPercent;
    const double room = std::max(0.0, 100.0 - joinShare - from);
    bool soundPending = _survey.hasSound && _journal.soundBytes < 0;
    ConvertRequest sound = _req;
    sound.pass = WorkPass::Sound;
    sound.writeTo = soundPath();
    sound.option.setVideo_disable(true);
    sound.option.setAudioStreamIndex(_survey.soundStream);
    const double soundSeconds = soundPending ? sampleSound(sound) : 0.0;
    if (_control.cancelled())
        return false;
    PartsClock clock(framesToDo, partsToDo, soundSeconds);
    double reached = from;
    const auto report = [&] {
        const double done = clock.done();
        if (done < 0)
            return;
        reached = std::clamp(from + room * done, reached, from + room * 0.999);
        if (_progress)
            _progress(reached);
    };
    const auto makeSound = [&]() -> bool {
        const Stopwatch watch(_control);
        Transcoder pass(sound, _control, [&](double p) {
            clock.soundAt(std::clamp(p, 0.0, 99.9) / 100.0, watch.seconds());
            report();
        });
        if (!pass.run(error))
            return false;
        clock.soundAt(1.0, watch.seconds());
        _journal.soundBytes = QFileInfo(soundPath()).size();
        _journal.keptPercent = reached;
        if (!_journal.write(_folder))
            foundation::Log::line(QStringLiteral("Cannot write the work journal in %1").arg(_folder));
        return true;
    };
    for (int k = 0; k < _count; ++k) {
        if (_journal.parts.count(k))
            continue;
        const bool last = k == _count - 1;
        const int64_t partFrom = start + av_rescale_q(int64_t(k) * _framesPerPart, frameTime, AV_TIME_BASE_Q);
        const int64_t frames = last ? _frames - int64_t(k) * _framesPerPart : _framesPerPart;
        ConvertRequest part = _req;
        part.pass = WorkPass::VideoPart;
        part.writeTo = partPath(k);
        part.mayBeEmpty = last;
        part.option.setAudio_disable(true);
        part.option.setStart_time(partFrom);
        // The last part runs to the end the conversion has, so that nothing past a
        // rounded stated length is lost.
        if (!last)
            part.option.setRecording_time(
                start + av_rescale_q(int64_t(k + 1) * _framesPerPart, frameTime, AV_TIME_BASE_Q) - partFrom);
        else if (o.recording_time() > 0)
            part.option.setRecording_time(start + o.recording_time() - partFrom);
        else
            part.option.setRecording_time(0);
        clock.partBegins(frames);
        const Stopwatch watch(_control);
        const auto progress = [&](double fraction) {
            clock.partAt(fraction, watch.seconds());
            report();
        };
        if (!runPass(part, progress, error))
            return false;
        clock.partEnds(watch.seconds());
        report();
        _journal.parts[k] = QFileInfo(partPath(k)).size();
        _journal.keptPercent = reached;
        if (!_journal.write(_folder))
            foundation::Log::line(QStringLiteral("Cannot write the work journal in %1").arg(_folder));
        if (soundPending) {
            if (!makeSound())
                return false;
            soundPending = false;
        }
    }
    if (soundPending && !makeSound())
        return false;
    _journal.keptPercent = 100.0 - joinShare;
    // The join gives the sound's space back as it copies it, and removes each part once it
    // is copied: from here on what the folder holds is no longer whole, and an interrupted
    // join encodes the sound and the removed parts again.
    const double joinFrom = _journal.keptPercent;
    if (_journal.soundBytes >= 0) {
        _journal.soundBytes = -1;
        _journal.keptPercent = percentOf(double(_frames));
        if (!_journal.write(_folder))
            foundation::Log::line(QStringLiteral("Cannot write the work journal in %1").arg(_folder));
    }
    JoinPlan plan;
    for (int k = 0; k < _count; ++k)
        plan.videoParts << partPath(k);
    if (_survey.hasSound)
        plan.sound = soundPath();
    plan.frameRate = _survey.frameRate;
    plan.framesPerPart = _framesPerPart;
    _joiner = std::make_unique<Transcoder>(_req, _control, Transcoder::Progress{});
    return _joiner->join(
        plan,
        [&](double fraction) {
            if (_progress)
                _progress(joinFrom + (100.0 - joinFrom) * fraction);
        },
        error);
}

void Resumable::discard() {
    if (_folder.isEmpty())
        return;
    QDir(_folder).removeRecursively();
    if (_lockFd >= 0)
        ::close(_lockFd);
    _lockFd = -1;
}

bool Resumable::remove(const QString &work) {
    if (!foundation::Files::isWorkName(QFileInfo(work).fileName()) || QFileInfo(work).isSymLink() ||
        !QFileInfo(work).isDir())
        return false;
    const int lock = lockFolder(work);
    if (lock < 0)
        return false;
    const bool removed = QDir(work).removeRecursively();
    ::close(lock);
    return removed;
}

int Resumable::removeStale(const QString &folder) {
    int removed = 0;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (!foundation::Files::isWorkName(name))
            continue;
        const QString work = dir.filePath(name);
        if (QFileInfo(work).isSymLink())
            continue;
        const int lock = lockFolder(work);
        if (lock < 0)
            continue; // a live conversion's
        const std::optional<WorkJournal> j = WorkJournal::read(work);
        if (!j || j->source.isEmpty() || !QFileInfo::exists(j->source)) {
            QDir(work).removeRecursively();
            ++removed;
        }
        ::close(lock);
    }
    return removed;
}

} // namespace fw
