#pragma once
// File names that never replace what is there, and outputs written aside.
//
// An output is never written under its final name. While it is being made its bytes go to
// a hidden partial file beside it (".NAME.cinvora-part"); the final name appears only when
// the complete file is renamed into place. A crash, kill -9 or power loss therefore leaves
// either no file or the whole file under the user's name, never half of one.
//
// The partial file is also what reserves a final name: a name counts as taken while its
// final file or its partial file exists, and the partial file is created with an exclusive
// create, so two writers (threads or processes) never claim the same name. Its creator
// holds an advisory lock (flock) on it for as long as it lives; the lock dies with the
// process, which is how a later start tells a stale partial file from one in use.
#include <QString>

namespace foundation {

// A claimed output name: the final path and its locked, empty partial file. Releasing it
// (destruction, release()) closes the lock and removes the partial file if it is still
// the one this reservation created; a file renamed into place is not touched.
class OutputReservation {
public:
    OutputReservation() = default;
    ~OutputReservation() { release(); }
    OutputReservation(OutputReservation &&other) noexcept;
    OutputReservation &operator=(OutputReservation &&other) noexcept;
    OutputReservation(const OutputReservation &) = delete;
    OutputReservation &operator=(const OutputReservation &) = delete;

    bool isValid() const { return _fd >= 0; }
    // The final name; empty when nothing was reserved.
    const QString &path() const { return _path; }
    // Where the bytes go until the file is complete.
    const QString &partialPath() const { return _partial; }
    void release();

private:
    friend class Files;
    int _fd = -1;
    QString _path, _partial;
    unsigned long long _dev = 0, _ino = 0;
};

class Files {
public:
    // Claims the first free name folder/stem.ext, folder/stem(1).ext, folder/stem(2).ext, ...
    // (free: neither the file nor its partial file exists, not even as a dangling link).
    // `ext` carries its dot (".mov") or is empty. Invalid when nothing could be claimed
    // (the folder is missing or not writable), or when stem and ext do not make one plain
    // name inside the folder (a slash, ".", "..", nothing).
    static OutputReservation reserveNumberedName(const QString &folder, const QString &stem, const QString &ext);
    // The same for a wanted path: its folder, base name and last suffix.
    static OutputReservation reserveNumberedPath(const QString &wantedPath);
    // Exactly this name; invalid when it or its partial file exists, with the reason.
    static OutputReservation reserveExactPath(const QString &path, QString *why = nullptr);

    // The partial file of a final path, and whether a file name is one of ours.
    static QString partialPathFor(const QString &finalPath);
    static bool isPartialName(const QString &fileName);
    // Creates the partial file of `finalPath` exclusively and locked; the descriptor (to
    // close when done) or -1 with errno set (EEXIST: it exists).
    static int createPartial(const QString &finalPath);
    // Moves a complete partial file to its final name without replacing anything there.
    // False with errno set (EEXIST: the final name was taken meanwhile).
    static bool commitPartial(const QString &partial, const QString &finalPath);
    // Removes the partial files in `folder` that nobody holds any more (their writer
    // died). Only regular files of this user with our partial name are touched; a file in
    // use by another process is left alone. Returns how many were removed.
    static int removeStalePartials(const QString &folder);

private:
    static OutputReservation claim(const QString &finalPath, int *err);
};

} // namespace foundation
