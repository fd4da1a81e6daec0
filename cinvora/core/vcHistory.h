#pragma once
// The saved list (FileList.plist): the window's rows as they were at the last save, one
// entry per row, read back at the next start. An entry's keys and what they mean are those
// of every earlier release, so a list any of them wrote loads, and one written now loads in
// them.
//
// Threads: the file is read and written on whichever thread saves or restores; only one
// process writes it (the window holds ListLock). Encoding an entry reads the job's outcome
// and so runs on the main thread; decoding and restoring run on the restore's thread.
#include "FormatRules.h"

#include <reelwright/LXMediaInfo.h>

#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <optional>

class vcTableCellView;

// One saved row. An empty string or a field without a value was not stored (an older
// list, or a value the entry could not hold) and leaves the restored item as its probe and
// its default format made it.
struct vcHistoryEntry {
    QString path;                    // currentFilePath: the source file
    QString ext;                     // currentExtKey: the output's extension, ".mkv"
    QString format;                  // currentFormatKey: its container, "matroska"
    std::optional<QString> desc;     // currentDescKey: the format's name in its category
    std::optional<QString> baseType; // currentBaseTypeDescKey: the category
    // currentTrackStartKey, currentTrackEndKey: the kept range in seconds, as stored; none
    // when absent or not a finite number.
    std::optional<double> trackStart, trackEnd;
    // currentSubTitleIdxKey, currentAudioTrackIdxKey: a track of the item's lists, or -1 for
    // none; none when absent or out of that range.
    std::optional<int> subtitleIndex, audioTrackIndex;
    QString subtitleFile;                  // currentPluginSubTitleKey: an external subtitle file
    QString keyPath;                       // currentOutputKeyPathKey: the chosen format, "Common Video.2--MKV"
    FormatRules::FormatChoices parameters; // currentParametersKey: the choices among the format's lists
    QVariantMap probe;                     // sourceProbeKey: what the probe found, with the file's size and time
    // convertedOutputFileKey, convertedFingerprintKey: the last successful output and the
    // digest of what made it; both empty unless the row was finished.
    QString convertedOutput, convertedDigest;
    // interruptedOutputKey: the output a conversion of the row was writing when the list was
    // saved (it was converting, or the program quit during it); empty otherwise.
    QString interruptedOutput;

    // The kept range inside a file of `totalSeconds`: a missing start is the file's start,
    // a missing end its end; a range that leaves the file, or runs backwards, cannot be
    // converted and becomes the whole file.
    LXKeptRange keptRangeWithin(double totalSeconds) const;
    // Whether the stored probe was made of the file as it is now: the same size (never
    // an empty file) and modification time, nanoseconds.
    bool probeMatches(int64_t size, int64_t modifiedNs) const;
    bool operator==(const vcHistoryEntry &) const = default;
};

class vcHistory {
public:
    // The window's list: FileList.plist in the program's data folder.
    vcHistory();
    explicit vcHistory(QString file);
    static QString defaultFile();
    const QString &file() const { return _file; }

    // The entries as stored, each as it was written (a save keeps those a restore has not
    // reached yet unchanged); empty when the file is missing or holds no list. A missing
    // file is made from the empty template. A regular file that is not a list, or a link to
    // one, is moved aside to FILE.unreadable before the next save takes its name.
    QVariantList read() const;
    // Replaces the file in one step (a save killed halfway leaves the old file). A link is
    // written through only when it points to a list: false, and nothing written, otherwise.
    bool write(const QVariantList &entries) const;
    // Whether an entry names `path`.
    bool contains(const QString &path) const;

    // The entry of a row: its item and, when there is one, its job (a finished job's
    // output and digest).
    static vcHistoryEntry entryOf(const LXMediaInfo &item, const vcTableCellView *job);
    static QVariantMap toStored(const vcHistoryEntry &entry);
    // A stored entry as a typed one, or none with the reason in `why` (not a dictionary,
    // no file named). A track index that does not fit is left out and logged.
    static std::optional<vcHistoryEntry> fromStored(const QVariant &stored, QString *why = nullptr);

    // Gives a probed item what its entry kept: output format, kept range, chosen format with
    // its lists (made by `loadLists`, the document's) and parameters, tracks and subtitle
    // file. An extension or container no format of the catalogue writes was not written by
    // the program and could make the output's name a path: the entry is refused, the item
    // left alone, and the reason answered (empty: restored).
    using ListLoader = std::function<void(LXMediaInfo &)>;
    static QString restore(const vcHistoryEntry &entry, LXMediaInfo &item, const ListLoader &loadLists);

private:
    QString _file;
};
