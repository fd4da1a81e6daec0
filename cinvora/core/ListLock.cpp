#include "ListLock.h"

#include "vcCommon.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

ListLock::ListLock(const QString &path, int waitMs) {
    // Not inherited by the programs the window starts (a file manager, a browser): they
    // would keep the list locked after the window has gone.
    _fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (_fd < 0) {
        _error = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    QElapsedTimer waited;
    waited.start();
    int rc = 0;
    while ((rc = ::flock(_fd, LOCK_EX | LOCK_NB)) != 0 && errno == EWOULDBLOCK && waited.elapsed() < waitMs)
        ::usleep(50 * 1000);
    if (rc == 0) {
        _held = true;
        // The holder's process id, for the message a refused start gives.
        const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
        if (::ftruncate(_fd, 0) != 0 || ::pwrite(_fd, pid.constData(), size_t(pid.size()), 0) != pid.size())
            _error = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    if (errno != EWOULDBLOCK)
        _error = QString::fromLocal8Bit(std::strerror(errno));
    char buf[32] = {};
    const ssize_t n = ::pread(_fd, buf, sizeof buf - 1, 0);
    if (n > 0)
        _holder = QByteArray(buf, int(n)).trimmed().toLongLong();
    ::close(_fd);
    _fd = -1;
}

ListLock::~ListLock() {
    if (_fd >= 0)
        ::close(_fd);
}

QString ListLock::pathBesideList() {
    return QDir(vcCommon::zezazEvuvuvoApplicationSupportDir()).filePath(QStringLiteral("FileList.lock"));
}
