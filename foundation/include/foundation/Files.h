#pragma once
// File names that never replace what is there, and outputs written aside.
//
// An output is never written under its final name. While it is being made its bytes go to
// a hidden partial file beside it (".HASH.cinvora-part", HASH 16 hex digits of the final
// name: the same length for every name, so a name of up to 255 bytes still has one); the
// final name appears only when the complete file is renamed into place. A crash, kill -9 or
// power loss therefore leaves either no file or the whole file under the user's name, never
// half of one.
//
// The partial file is also what reserves a final name: a name counts as taken while its
// final file or its partial file exists, and the partial file is created with an exclusive
// create, so two writers (threads or processes) never claim the same name. HASH is made
// from the case-folded name, so that names a case-blind drive (exFAT, NTFS) takes for one
// are one claim. Its creator holds an advisory lock (flock) on it for as long as it lives;
// the lock dies with the process, which is how a later start tells a stale partial file
// from one in use.
//
// Moving into place never replaces a file, as strongly as the file system allows: an
// exclusive rename where there is one, else a hard link, else (exFAT and shares without
// links) an empty file of ours created exclusively under the final name just before the
// rename replaces it. That empty file carries the partial file's modification time; if a
// crash falls between the two steps, removeStalePartials removes it with the partial file.
#include <QCoreApplication>
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
    // Why the name differs from the one asked for (characters the folder's file system
    // refuses, a name cut to the length limit), for the user; empty when it does not.
    const QString &note() const { return _note; }
    // Where the bytes go until the file is complete.
    const QString &partialPath() const { return _partial; }
    void release();

private:
    friend class Files;
    int _fd = -1;
    QString _path, _partial, _note;
    unsigned long long _dev = 0, _ino = 0;
};

class Files {
    Q_DECLARE_TR_FUNCTIONS(Files)

public:
    // Claims the first free name folder/stem.ext, folder/stem(1).ext, folder/stem(2).ext, ...
    // (free: neither the file nor its partial file exists, not even as a dangling link).
    // `ext` carries its dot (".mov") or is empty. Characters of the stem that the folder's
    // file system refuses are replaced by '_', and a stem too long for the name limit with
    // its number is cut on a character boundary; note() says so. Invalid when nothing could
    // be claimed (the folder is missing or not writable, the name cannot be made short
    // enough, stem and ext do not make one plain name inside the folder: a slash, ".",
    // "..", nothing), with the reason in `why`.
    static OutputReservation reserveNumberedName(const QString &folder, const QString &stem, const QString &ext,
                                                 QString *why = nullptr);
    // The same for a wanted path: its folder, base name and last suffix.
    static OutputReservation reserveNumberedPath(const QString &wantedPath, QString *why = nullptr);
    // Exactly this name; invalid when it or its partial file exists, or the file system
    // refuses the name, with the reason.
    static OutputReservation reserveExactPath(const QString &path, QString *why = nullptr);

    // The characters of `name` that the file system holding `folder` refuses in a file
    // name, each once, found by trying them there under a hidden name; empty when it takes
    // them all. Only characters some file systems refuse ("*:<>?\| and control
    // characters) are tried.
    static QString refusedCharacters(const QString &folder, const QString &name);
    // The longest file name the folder's file system takes, in bytes (at most 255).
    static int nameLimit(const QString &folder);

    // The partial file of a final path, and whether a file name is one of ours.
    static QString partialPathFor(const QString &finalPath);
    static bool isPartialName(const QString &fileName);
    // The hidden work folder beside a final path (".HASH.cinvora-work", the partial file's
    // HASH), where a long conversion keeps its finished parts until it is complete; and
    // whether a file name is such a folder's.
    static QString workPathFor(const QString &finalPath);
    static bool isWorkName(const QString &fileName);
    // Creates the partial file of `finalPath` exclusively and locked; the descriptor (to
    // close when done) or -1 with errno set (EEXIST: it exists).
    static int createPartial(const QString &finalPath);
    // Moves a complete partial file to its final name without replacing anything there.
    // False with errno set (EEXIST: the final name was taken meanwhile).
    static bool commitPartial(const QString &partial, const QString &finalPath);
    // Removes the partial files in `folder` that nobody holds any more (their writer
    // died), in the present form and the older ".NAME.cinvora-part" one, and the empty
    // claim a crash left under a final name (see above). Only regular files of this user
    // are touched; a file in use by another process is left alone. Returns how many
    // partial files were removed.
    static int removeStalePartials(const QString &folder);

    // Linux file names are bytes, and a QString carries only those that are UTF-8: a name
    // with other bytes decodes with U+FFFD in their place and no longer opens. These give
    // such a file a name that does: a symbolic link to it, named as the file decodes, in
    // a private folder that lives as long as the process.
    //
    // The link for the file at `nativePath` (bytes); empty when none could be made.
    static QString openableAlias(const QByteArray &nativePath);
    // `path` when it exists as it is; else, when exactly one entry of its folder decodes to
    // its name, that entry's alias; else empty, with the reason in `why` when the name
    // is ambiguous (empty `why`: there is no such file).
    static QString openablePath(const QString &path, QString *why = nullptr);
    // The names in `folder` of the entries that are not folders, those that are not UTF-8
    // as their aliases' full paths, sorted by their decoded names.
    static QStringList filePathsIn(const QString &folder);
    // Whether `path` is one of the aliases above.
    static bool isAlias(const QString &path);

private:
    static OutputReservation claim(const QString &finalPath, int *err);
};

} // namespace foundation
