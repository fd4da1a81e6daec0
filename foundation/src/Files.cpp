#include "foundation/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foundation {

namespace {

const QLatin1String kPartialSuffix(".cinvora-part");

QByteArray native(const QString &path) { return QFile::encodeName(path); }

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

} // namespace

OutputReservation::OutputReservation(OutputReservation &&other) noexcept { *this = std::move(other); }

OutputReservation &OutputReservation::operator=(OutputReservation &&other) noexcept {
    if (this != &other) {
        release();
        std::swap(_fd, other._fd);
        std::swap(_path, other._path);
        std::swap(_partial, other._partial);
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
    return QDir(info.path()).filePath(QLatin1Char('.') + info.fileName() + kPartialSuffix);
}

bool Files::isPartialName(const QString &fileName) {
    return fileName.size() > kPartialSuffix.size() + 1 && fileName.startsWith(QLatin1Char('.')) &&
           fileName.endsWith(kPartialSuffix);
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
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // No exclusive rename on this file system: a hard link refuses an existing name too.
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return true;
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

OutputReservation Files::reserveNumberedName(const QString &folder, const QString &stem, const QString &ext) {
    if (folder.isEmpty())
        return {};
    // The output is a name inside the folder, whatever the stem and extension hold: a slash
    // (or a name that is the folder itself or its parent) would put it somewhere else.
    const QString plain = stem + ext;
    if (plain.isEmpty() || plain == u"." || plain == u".." || plain.contains(QLatin1Char('/')) ||
        plain.contains(QChar(0)))
        return {};
    for (int n = 0; n < 100000; ++n) {
        const QString name = n == 0 ? stem + ext : QStringLiteral("%1(%2)%3").arg(stem).arg(n).arg(ext);
        int err = 0;
        OutputReservation r = claim(QDir(folder).filePath(name), &err);
        if (r.isValid())
            return r;
        if (err != EEXIST)
            return {}; // not taken, yet not creatable: the folder is missing or read-only
    }
    return {};
}

OutputReservation Files::reserveNumberedPath(const QString &wantedPath) {
    const QFileInfo info(wantedPath);
    const QString suffix = info.suffix();
    const QString name = info.fileName();
    const QString stem = suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
    return reserveNumberedName(info.absolutePath(), stem, suffix.isEmpty() ? QString() : "." + suffix);
}

OutputReservation Files::reserveExactPath(const QString &path, QString *why) {
    int err = 0;
    OutputReservation r = claim(QFileInfo(path).absoluteFilePath(), &err);
    if (!r.isValid() && why) {
        if (err == EEXIST && nameExists(path))
            *why = QStringLiteral("%1 exists; not overwriting it").arg(path);
        else if (err == EEXIST)
            *why = QStringLiteral("%1 is being written by another conversion").arg(path);
        else
            *why = QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err)));
    }
    return r;
}

int Files::removeStalePartials(const QString &folder) {
    const QByteArray dirPath = native(folder);
    DIR *dir = ::opendir(dirPath.constData());
    if (!dir)
        return 0;
    int removed = 0;
    const uid_t me = ::getuid();
    while (const dirent *e = ::readdir(dir)) {
        const QString name = QFile::decodeName(e->d_name);
        if (!isPartialName(name))
            continue;
        const int dfd = ::dirfd(dir);
        struct stat before {};
        if (::fstatat(dfd, e->d_name, &before, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(before.st_mode) ||
            before.st_uid != me)
            continue;
        const int fd = ::openat(dfd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held {};
        // A writer alive holds the lock; the one that died released it with its process.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && held.st_dev == before.st_dev &&
            held.st_ino == before.st_ino) {
            struct stat now {};
            if (::fstatat(dfd, e->d_name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == held.st_dev &&
                now.st_ino == held.st_ino && ::unlinkat(dfd, e->d_name, 0) == 0)
                ++removed;
        }
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

} // namespace foundation
