#pragma once
// The saved list (FileList.plist) has one writer: the window that holds this lock, an
// flock on FileList.lock beside the list, held for the process's life. A second window
// that cannot take it must not run, or the two would overwrite each other's rows. The lock
// dies with its process, however it ends; the file itself stays (removing it would let two
// processes lock two different files of the same name).
#include <QString>

class ListLock {
public:
    // Tries to take the lock at `path` (created when missing), for up to `waitMs`: a window
    // that is ending still holds it for the moment its shutdown takes.
    explicit ListLock(const QString &path, int waitMs = 0);
    ~ListLock();
    ListLock(const ListLock &) = delete;
    ListLock &operator=(const ListLock &) = delete;

    bool isHeld() const { return _held; }
    // When not held: the process id the holder wrote into the file (0 when unknown), and
    // what went wrong when the file could not even be opened.
    qint64 holder() const { return _holder; }
    const QString &error() const { return _error; }
    // FileList.lock beside the list.
    static QString pathBesideList();

private:
    int _fd = -1;
    bool _held = false;
    qint64 _holder = 0;
    QString _error;
};
