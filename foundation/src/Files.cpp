#include "foundation/Files.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <memory>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <vector>

namespace foundation {

namespace {

const QLatin1String kPartialSuffix(".cinvora-part");
const QLatin1String kWorkSuffix(".cinvora-work");
// A name made only to learn whether the file system takes some characters, removed at once.
const QLatin1String kProbePrefix(".cinvora-probe-");
constexpr int kNameMax = 255;

QByteArray native(const QString &path) { return QFile::encodeName(path); }

QString errorText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

QString partialNameFor(const QString &fileName) {
    const QByteArray hash = QCryptographicHash::hash(fileName.toCaseFolded().toUtf8(), QCryptographicHash::Sha256);
    return QLatin1Char('.') + QString::fromLatin1(hash.left(8).toHex()) + kPartialSuffix;
}

// Characters that some file systems people write to (exFAT, FAT, NTFS with Windows names,
// SMB shares) refuse in a name, while Linux's own take them.
bool mayBeRefused(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7f || QStringView(u"\"*:<>?\\|").contains(c);
}

QString shownCharacters(const QString &chars) {
    QStringList shown;
    for (const QChar c : chars)
        shown << (c.unicode() < 0x20 || c.unicode() == 0x7f
                      ? QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0'))
                      : QString(c));
    return shown.join(QLatin1Char(' '));
}

int utf8Size(const QString &s) { return static_cast<int>(s.toUtf8().size()); }

// The longest start of `s` that fits in `bytes` bytes of UTF-8, never half a character.
QString cutToBytes(QString s, int bytes) {
    while (!s.isEmpty() && utf8Size(s) > bytes) {
        s.chop(1);
        if (!s.isEmpty() && s.back().isHighSurrogate())
            s.chop(1);
    }
    return s;
}

bool sameFile(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool sameTime(const struct timespec &a, const struct timespec &b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The last way to move a file into place without replacing anything, for file systems
// with neither an exclusive rename nor hard links: claim the final name with an exclusive
// create, then let the rename replace that empty file of ours. The empty file carries the
// partial file's modification time, which is how cleanup knows it after a crash between
// the two steps.
bool commitOverOwnClaim(const QByteArray &from, const QByteArray &to) {
    struct stat part {};
    if (::stat(from.constData(), &part) != 0)
        return false;
    const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false; // EEXIST: the name was taken meanwhile
    const struct timespec times[2] = {part.st_atim, part.st_mtim};
    ::futimens(fd, times);
    struct stat claimed {};
    ::fstat(fd, &claimed);
    ::close(fd);
    struct stat now {};
    if (::lstat(to.constData(), &now) != 0 || !sameFile(now, claimed) || now.st_size != 0) {
        errno = EEXIST; // someone wrote into or replaced the claim: it is theirs now
        return false;
    }
    if (::rename(from.constData(), to.constData()) == 0)
        return true;
    const int e = errno;
    if (::lstat(to.constData(), &now) == 0 && sameFile(now, claimed) && now.st_size == 0)
        ::unlink(to.constData());
    errno = e;
    return false;
}

bool nameExists(const QString &path) {
    struct stat sb {};
    return ::lstat(native(path).constData(), &sb) == 0; // a dangling link counts as taken
}

// An unnamed file that is locked before it gets its name, so that no other process can
// ever see the partial name unlocked and take it for stale.
int createLockedUnnamed(const QString &dir, const QString &name) {
#ifdef O_TMPFILE
    const int fd = ::open(native(dir).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == EISDIR || errno == EOPNOTSUPP || errno == EINVAL ? -2 : -1;
    ::flock(fd, LOCK_EX);
    char proc[64];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, proc, AT_FDCWD, native(name).constData(), AT_SYMLINK_FOLLOW) == 0)
        return fd;
    const int e = errno;
    ::close(fd);
    errno = e;
    return e == ENOENT && !QFileInfo::exists(QStringLiteral("/proc/self/fd")) ? -2 : -1;
#else
    (void)dir;
    (void)name;
    return -2;
#endif
}

// Whether Qt's file names can carry this name: it decodes and encodes back to itself.
bool carried(const QByteArray &name) { return QFile::encodeName(QFile::decodeName(name)) == name; }

struct Aliases {
    std::mutex lock;
    std::unique_ptr<QTemporaryDir> root; // made with the first alias
    QHash<QByteArray, QString> made;     // native path -> its alias
    unsigned next = 0;
};

Aliases &aliases() {
    static Aliases a;
    return a;
}

} // namespace

OutputReservation::OutputReservation(OutputReservation &&other) noexcept { *this = std::move(other); }

OutputReservation &OutputReservation::operator=(OutputReservation &&other) noexcept {
    if (this != &other) {
        release();
        std::swap(_fd, other._fd);
        std::swap(_path, other._path);
        std::swap(_partial, other._partial);
        std::swap(_note, other._note);
        std::swap(_dev, other._dev);
        std::swap(_ino, other._ino);
    }
    return *this;
}

void OutputReservation::release() {
    if (_fd < 0)
        return;
    struct stat sb {};
    // Removed only while it still is the file made here: a writer may have renamed it
    // into place, and someone else may have made a new one under the name since.
    if (::lstat(native(_partial).constData(), &sb) == 0 && sb.st_dev == _dev && sb.st_ino == _ino)
        ::unlink(native(_partial).constData());
    ::close(_fd);
    _fd = -1;
}

QString Files::partialPathFor(const QString &finalPath) {
    const QFileInfo info(finalPath);
    return QDir(info.path()).filePath(partialNameFor(info.fileName()));
}

QString Files::workPathFor(const QString &finalPath) {
    QString partial = partialPathFor(finalPath);
    partial.chop(kPartialSuffix.size());
    return partial + kWorkSuffix;
}

bool Files::isWorkName(const QString &fileName) {
    return fileName.size() > kWorkSuffix.size() + 1 && fileName.startsWith(QLatin1Char('.')) &&
           fileName.endsWith(kWorkSuffix);
}

// Both forms: ".HASH.cinvora-part" and the older ".NAME.cinvora-part".
bool Files::isPartialName(const QString &fileName) {
    return fileName.size() > kPartialSuffix.size() + 1 && fileName.startsWith(QLatin1Char('.')) &&
           fileName.endsWith(kPartialSuffix);
}

QString Files::refusedCharacters(const QString &folder, const QString &name) {
    QString tried;
    for (const QChar c : name)
        if (mayBeRefused(c) && !tried.contains(c))
            tried += c;
    struct stat sb {};
    if (tried.isEmpty() || ::stat(native(folder).constData(), &sb) != 0 || !S_ISDIR(sb.st_mode))
        return {};
    static std::atomic<unsigned> serial{0};
    const auto takes = [&](const QString &chars) {
        const QString probe = QDir(folder).filePath(
            QStringLiteral("%1%2-%3-%4").arg(kProbePrefix).arg(::getpid()).arg(serial.fetch_add(1)).arg(chars));
        const QByteArray p = native(probe);
        const int fd = ::open(p.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(p.constData());
            return true;
        }
        // A folder that exists answers "no such file" (exFAT) or "invalid" for a name it
        // will not hold; a full or read-only drive is not the name's fault.
        return errno != ENOENT && errno != EINVAL && errno != EILSEQ;
    };
    if (takes(tried))
        return {};
    QString refused;
    for (const QChar c : tried)
        if (!takes(QString(c)))
            refused += c;
    return refused.isEmpty() ? tried : refused;
}

int Files::nameLimit(const QString &folder) {
    const long limit = ::pathconf(native(folder).constData(), _PC_NAME_MAX);
    return limit > 0 && limit < kNameMax ? static_cast<int>(limit) : kNameMax;
}

int Files::createPartial(const QString &finalPath) {
    const QString partial = partialPathFor(finalPath);
    int fd = createLockedUnnamed(QFileInfo(partial).path(), partial);
    if (fd == -2) {
        // File systems without unnamed files: the name is visible unlocked for an instant.
        fd = ::open(native(partial).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0)
            ::flock(fd, LOCK_EX);
    }
    return fd;
}

bool Files::commitPartial(const QString &partial, const QString &finalPath) {
    const QByteArray from = native(partial), to = native(finalPath);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    // No exclusive rename on this file system (FUSE drivers, shares): a hard link refuses
    // an existing name too.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS && errno != EMLINK)
        return false;
    return commitOverOwnClaim(from, to);
}

OutputReservation Files::claim(const QString &finalPath, int *err) {
    OutputReservation r;
    *err = 0;
    if (nameExists(finalPath)) {
        *err = EEXIST;
        return r;
    }
    const int fd = Files::createPartial(finalPath);
    if (fd < 0) {
        *err = errno;
        return r;
    }
    const QString partial = Files::partialPathFor(finalPath);
    struct stat sb {};
    ::fstat(fd, &sb);
    // Someone else's writer may have renamed its file into place just before we claimed.
    if (nameExists(finalPath)) {
        ::unlink(native(partial).constData());
        ::close(fd);
        *err = EEXIST;
        return r;
    }
    r._fd = fd;
    r._path = finalPath;
    r._partial = partial;
    r._dev = sb.st_dev;
    r._ino = sb.st_ino;
    return r;
}

OutputReservation Files::reserveNumberedName(const QString &folder, const QString &stem, const QString &ext,
                                             QString *why) {
    const auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return OutputReservation();
    };
    if (folder.isEmpty())
        return fail(tr("no folder to write into"));
    // The output is a name inside the folder, whatever the stem and extension hold: a slash
    // (or a name that is the folder itself or its parent) would put it somewhere else.
    const QString plain = stem + ext;
    if (plain.isEmpty() || plain == u"." || plain == u".." || plain.contains(QLatin1Char('/')) ||
        plain.contains(QChar(0)))
        return fail(tr("%1 is not a file name").arg(plain));
    QStringList notes;
    QString base = stem;
    const QString refused = refusedCharacters(folder, stem + ext);
    if (!refused.isEmpty()) {
        for (const QChar c : refused)
            base.replace(c, QLatin1Char('_'));
        notes << tr("this drive does not allow %1 in file names").arg(shownCharacters(refused));
    }
    const int limit = nameLimit(folder);
    for (int n = 0; n < 100000; ++n) {
        const QString number = n == 0 ? QString() : QStringLiteral("(%1)").arg(n);
        const int room = limit - utf8Size(number + ext);
        QString fitted = base;
        if (utf8Size(fitted) > room) {
            fitted = cutToBytes(fitted, room);
            if (fitted.isEmpty())
                return fail(tr("a name made from %1 cannot be made short enough: this drive takes %2 bytes at most")
                                .arg(stem + ext)
                                .arg(limit));
        }
        const QString name = fitted + number + ext;
        int err = 0;
        OutputReservation r = claim(QDir(folder).filePath(name), &err);
        if (r.isValid()) {
            QStringList said = notes;
            if (fitted != base)
                said << tr("shortened to the %1-byte name limit").arg(limit);
            if (!said.isEmpty())
                r._note = tr("named %1: %2").arg(name, said.join(QStringLiteral("; ")));
            return r;
        }
        if (err != EEXIST) // not taken, yet not creatable: the folder is missing or read-only
            return fail(tr("cannot create %1: %2").arg(QDir(folder).filePath(name), errorText(err)));
    }
    return fail(tr("every numbered name of %1 is taken").arg(stem + ext));
}

OutputReservation Files::reserveNumberedPath(const QString &wantedPath, QString *why) {
    const QFileInfo info(wantedPath);
    const QString suffix = info.suffix();
    const QString name = info.fileName();
    const QString stem = suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
    return reserveNumberedName(info.absolutePath(), stem, suffix.isEmpty() ? QString() : "." + suffix, why);
}

OutputReservation Files::reserveExactPath(const QString &path, QString *why) {
    const QFileInfo info(path);
    // A name the user typed is not changed behind their back; refused before any work.
    if (const QString refused = refusedCharacters(info.absolutePath(), info.fileName()); !refused.isEmpty()) {
        if (why)
            *why =
                tr("cannot create %1: this drive does not allow %2 in file names").arg(path, shownCharacters(refused));
        return {};
    }
    if (const int limit = nameLimit(info.absolutePath()); utf8Size(info.fileName()) > limit) {
        if (why)
            *why = tr("cannot create %1: the name is longer than the %2 bytes this drive takes").arg(path).arg(limit);
        return {};
    }
    int err = 0;
    OutputReservation r = claim(info.absoluteFilePath(), &err);
    if (!r.isValid() && why) {
        if (err == EEXIST && nameExists(path))
            *why = tr("%1 exists; not overwriting it").arg(path);
        else if (err == EEXIST)
            *why = tr("%1 is being written by another conversion").arg(path);
        else
            *why = tr("cannot create %1: %2").arg(path, errorText(err));
    }
    return r;
}

QString Files::openableAlias(const QByteArray &nativePath) {
    QByteArray target = nativePath;
    if (!target.startsWith('/'))
        target = native(QDir::currentPath()) + '/' + target;
    Aliases &a = aliases();
    const std::lock_guard held(a.lock);
    if (const auto known = a.made.constFind(target); known != a.made.cend())
        return known.value();
    if (!a.root)
        a.root = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/cinvora-names-XXXXXX"));
    if (!a.root->isValid())
        return {};
    // A folder per alias: two names that differ only in their bytes that are not UTF-8
    // decode to the same name.
    const QString folder = QDir(a.root->path()).filePath(QString::number(a.next++));
    const QString alias = QDir(folder).filePath(QFile::decodeName(target.mid(target.lastIndexOf('/') + 1)));
    if (::mkdir(native(folder).constData(), 0700) != 0 || ::symlink(target.constData(), native(alias).constData()) != 0)
        return {};
    a.made.insert(target, alias);
    return alias;
}

bool Files::isAlias(const QString &path) {
    Aliases &a = aliases();
    const std::lock_guard held(a.lock);
    return a.root && a.root->isValid() && path.startsWith(a.root->path() + QLatin1Char('/'));
}

QString Files::openablePath(const QString &path, QString *why) {
    struct stat sb {};
    if (::lstat(native(path).constData(), &sb) == 0)
        return path;
    const QFileInfo info(path);
    const QByteArray folder = native(info.path());
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return {};
    QByteArray found;
    int matches = 0;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (!carried(name) && QFile::decodeName(name) == info.fileName()) {
            found = name;
            ++matches;
        }
    }
    ::closedir(dir);
    if (matches == 1)
        return openableAlias(folder + '/' + found);
    if (matches > 1 && why)
        *why = tr("its name is not valid UTF-8, and %1 files in its folder read the same").arg(matches);
    return {};
}

QStringList Files::filePathsIn(const QString &folder) {
    const QByteArray dirPath = native(folder);
    DIR *dir = ::opendir(dirPath.constData());
    if (!dir)
        return {};
    std::vector<std::pair<QString, QString>> found; // decoded name, path to open
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        struct stat sb {};
        if (name.startsWith('.') || ::fstatat(::dirfd(dir), e->d_name, &sb, 0) != 0 || !S_ISREG(sb.st_mode))
            continue;
        const QString decoded = QFile::decodeName(name);
        const QString path = carried(name) ? QDir(folder).filePath(decoded) : openableAlias(dirPath + '/' + name);
        if (!path.isEmpty())
            found.emplace_back(decoded, path);
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end());
    QStringList paths;
    for (const auto &f : found)
        paths << f.second;
    return paths;
}

int Files::removeStalePartials(const QString &folder) {
    const QByteArray dirPath = native(folder);
    DIR *dir = ::opendir(dirPath.constData());
    if (!dir)
        return 0;
    const int dfd = ::dirfd(dir);
    const uid_t me = ::getuid();
    struct Stale {
        QByteArray name;
        int fd;
        struct stat sb;
    };
    std::vector<Stale> stale;
    while (const dirent *e = ::readdir(dir)) {
        const QString name = QFile::decodeName(e->d_name);
        struct stat before {};
        if ((!isPartialName(name) && !name.startsWith(kProbePrefix)) ||
            ::fstatat(dfd, e->d_name, &before, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(before.st_mode) ||
            before.st_uid != me)
            continue;
        if (!isPartialName(name)) {
            // A probe lives for an instant; an empty one still here is a crash's.
            if (before.st_size == 0)
                ::unlinkat(dfd, e->d_name, 0);
            continue;
        }
        const int fd = ::openat(dfd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held {};
        // A writer alive holds the lock; the one that died released it with its process.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && sameFile(held, before))
            stale.push_back({QByteArray(e->d_name), fd, held});
        else
            ::close(fd);
    }
    // A crash between claiming a final name with an empty file and the rename over it left
    // that empty file: known by its partial name and its partial file's time. Removed
    // first, so that a crash here still leaves the partial file that identifies it.
    if (!stale.empty()) {
        ::rewinddir(dir);
        while (const dirent *e = ::readdir(dir)) {
            struct stat sb {};
            if (::fstatat(dfd, e->d_name, &sb, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(sb.st_mode) || sb.st_size != 0 ||
                sb.st_uid != me)
                continue;
            const QString name = QFile::decodeName(e->d_name);
            if (isPartialName(name))
                continue;
            const QByteArray partial = native(partialNameFor(name));
            for (const Stale &s : stale)
                if (s.name == partial && sameTime(s.sb.st_mtim, sb.st_mtim)) {
                    ::unlinkat(dfd, e->d_name, 0);
                    break;
                }
        }
    }
    int removed = 0;
    for (const Stale &s : stale) {
        struct stat now {};
        if (::fstatat(dfd, s.name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(now, s.sb) &&
            ::unlinkat(dfd, s.name.constData(), 0) == 0)
            ++removed;
        ::close(s.fd);
    }
    ::closedir(dir);
    return removed;
}

} // namespace foundation
