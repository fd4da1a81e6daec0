#pragma once
// The media-library export: the same progress sheet as the local export while the file is
// converted; when it is ready the sheet closes and the file is handed to the user's media
// library in the background, with no message: it simply turns up there.
//
// The library is the desktop's Music folder for audio and its Videos folder for video
// (XDG user folders), each in a subfolder named after the program. A name that is taken
// gets a number ("name(1).ext"); nothing there is ever replaced.
//
// Threading: the window is main-thread only. The hand-off runs on a thread of its own
//   that holds no reference to the window (which may be gone by then); those threads are
//   tracked process-wide and joined when the application object goes away, or earlier
//   through waitForHandOffs().
#include "sendaway/LXExportWindowController.h"

class LXiTunesExportWindowController : public LXExportWindowController {
    Q_OBJECT
public:
    enum class LibraryKind {
        Automatic, // decided from the file's type: audio types go to Music, all else to Videos
        Audio,
        Video,
    };

    static LXiTunesExportWindowController *shareWindowController();

    // Where the hand-off puts the file (default Automatic).
    LibraryKind libraryKind() const { return _libraryKind; }
    void setLibraryKind(LibraryKind kind) { _libraryKind = kind; }
    // Move the file instead of copying it: for a file the owner converted into a private
    // place only for this hand-off. Default false: the converted file stays where it is.
    bool moveIntoLibrary() const { return _moveIntoLibrary; }
    void setMoveIntoLibrary(bool on) { _moveIntoLibrary = on; }

    // The conversion has written `path`: closes the sheet (on the main thread, waiting),
    // then hands the file off on a thread of its own and returns at once.
    void shareToiTunes(const QString &path);

    // The hand-off itself, on the calling thread: places the file in the library folder
    // under the first free name and answers the new path, or empty when the file or the
    // folder cannot be used (logged). A copy is written beside its name and renamed into
    // place, so the library never shows a half-copied file.
    static QString exportToiTune(const QString &path, LibraryKind kind = LibraryKind::Automatic, bool move = false);
    // The library folder for a file ("~/Videos/Cinvora"); empty when the desktop has none.
    static QString libraryFolder(const QString &path, LibraryKind kind = LibraryKind::Automatic);
    static LibraryKind kindOfFile(const QString &path);

    // Hand-offs still running, and waiting for them (false on timeout).
    static int runningHandOffs();
    static bool waitForHandOffs(int timeoutMs = -1);

protected:
    LXiTunesExportWindowController() = default;
    QString emblemName() const override;

private:
    LibraryKind _libraryKind = LibraryKind::Automatic;
    bool _moveIntoLibrary = false;
};
