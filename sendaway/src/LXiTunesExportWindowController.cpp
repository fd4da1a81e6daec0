#include "sendaway/LXiTunesExportWindowController.h"

#include <foundation/BundleInfo.h>
#include <foundation/Files.h>
#include <foundation/Log.h>
#include <foundation/MainThread.h>
#include <foundation/WorkerGroup.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace {

// Every hand-off thread of the process. Never destroyed (a thread may still be copying when
// static objects go); joined when the application object is destroyed.
foundation::WorkerGroup &handOffs() {
    static auto *group = new foundation::WorkerGroup;
    return *group;
}

void joinHandOffsAtExit() { handOffs().joinAll(-1, false); }

void ensureJoinedAtExit() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (QCoreApplication::instance())
            qAddPostRoutine(joinHandOffsAtExit);
    });
}

// Copies `from` into the reserved partial file `to` and syncs it; the caller renames it
// into place, so the final name shows the whole file or nothing.
bool copyInto(const QString &from, const QString &to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty())
        if (out.write(chunk) != chunk.size())
            return false;
    if (in.error() != QFileDevice::NoError || !out.flush())
        return false;
    return ::fsync(out.handle()) == 0;
}

} // namespace

LX_REGISTER_EXPORT_WINDOW(LXiTunesExportWindowController)

LXiTunesExportWindowController *LXiTunesExportWindowController::shareWindowController() {
    auto *w = new LXiTunesExportWindowController;
    w->loadWindow();
    return w;
}

QString LXiTunesExportWindowController::emblemName() const { return QStringLiteral("ExportLibraryEmblem.png"); }

void LXiTunesExportWindowController::shareToiTunes(const QString &path) {
    QPointer<LXiTunesExportWindowController> self(this);
    foundation::MainThread::run([self] {
        if (self)
            self->closeWindow();
    });
    const LibraryKind kind = _libraryKind;
    const bool move = _moveIntoLibrary;
    ensureJoinedAtExit();
    if (!handOffs().spawn([path, kind, move] { exportToiTune(path, kind, move); }))
        foundation::Log::line(QStringLiteral("Media library hand-off refused while quitting: %1").arg(path));
}

LXiTunesExportWindowController::LibraryKind LXiTunesExportWindowController::kindOfFile(const QString &path) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    return type.name().startsWith(QLatin1String("audio/")) ? LibraryKind::Audio : LibraryKind::Video;
}

QString LXiTunesExportWindowController::libraryFolder(const QString &path, LibraryKind kind) {
    if (kind == LibraryKind::Automatic)
        kind = kindOfFile(path);
    const QString root = QStandardPaths::writableLocation(kind == LibraryKind::Audio ? QStandardPaths::MusicLocation
                                                                                     : QStandardPaths::MoviesLocation);
    if (root.isEmpty())
        return {};
    return QDir(root).filePath(foundation::BundleInfo::name());
}

QString LXiTunesExportWindowController::exportToiTune(const QString &path, LibraryKind kind, bool move) {
    const QFileInfo source(path);
    if (!source.isFile()) {
        foundation::Log::line(QStringLiteral("Media library hand-off: no file at %1").arg(path));
        return {};
    }
    const QString folder = libraryFolder(path, kind);
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        foundation::Log::line(QStringLiteral("Media library hand-off: no library folder for %1").arg(path));
        return {};
    }
    const QString suffix = source.suffix();
    const foundation::OutputReservation reservation = foundation::Files::reserveNumberedName(
        folder, source.completeBaseName(), suffix.isEmpty() ? QString() : "." + suffix);
    const QString target = reservation.path();
    if (!reservation.isValid()) {
        foundation::Log::line(QStringLiteral("Media library hand-off: cannot create a file in %1").arg(folder));
        return {};
    }
    // A move within one file system puts the whole file in place in one step.
    if (move && foundation::Files::commitPartial(source.absoluteFilePath(), target))
        return target;
    if (!copyInto(source.absoluteFilePath(), reservation.partialPath()) ||
        !foundation::Files::commitPartial(reservation.partialPath(), target)) {
        foundation::Log::line(QStringLiteral("Media library hand-off: copying %1 failed").arg(path));
        return {};
    }
    if (move)
        QFile::remove(source.absoluteFilePath());
    return target;
}

int LXiTunesExportWindowController::runningHandOffs() { return handOffs().running(); }

bool LXiTunesExportWindowController::waitForHandOffs(int timeoutMs) { return handOffs().joinAll(timeoutMs, false); }
