#pragma once
// The output formats the program offers, read once from the catalogue resource into typed
// records. Nothing outside this file reads the catalogue's property-list keys.
//
// Threading: the shared catalogue is built on first use and never changes; any thread may
// read it.
#include <reelwright/LXMediaInfo.h>

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <vector>

// Which format: a category of the grid and a key of the catalogue inside it. A catalogue key
// may carry a one-character ordering prefix and two dashes ("2--MKV"), which only sorts the
// grid. The key is written in three forms, each made here:
//   keyPath()  "Common Video.2--MKV"  items, the saved list, the last choice;
//   lastKey()  "Common Video.MKV"     the last format's memory, what --to accepts;
//   compKey()  "Common Video2--MKV"   what the grid's highlighted tile is told by.
class FormatKey {
public:
    FormatKey() = default;
    FormatKey(QString category, QString catalogueKey)
        : _category(std::move(category)), _catalogueKey(std::move(catalogueKey)) {}
    // "Category.Key", split at the first dot; empty when there is none.
    static FormatKey fromKeyPath(const QString &keyPath);

    const QString &category() const { return _category; }
    const QString &catalogueKey() const { return _catalogueKey; }
    // The catalogue key without its ordering prefix ("MKV" for "2--MKV").
    QString shownKey() const;
    QString keyPath() const;
    QString lastKey() const;
    QString compKey() const;
    bool isEmpty() const { return _category.isEmpty() || _catalogueKey.isEmpty(); }
    bool operator==(const FormatKey &) const = default;

private:
    QString _category;
    QString _catalogueKey;
};

// One format of the catalogue.
struct FormatRecord {
    FormatKey key;
    QString caption;   // the name under its picture: "keyName", else the whole catalogue key
    QString container; // the muxer's name, "matroska"
    QString ext;       // with its dot, ".mkv"
    bool isAudio = false;
    QStringList audioCodecs;
    QList<double> channels;
    QList<double> sampleRates;
    QStringList videoCodecs;
    QList<LXFrameSize> frameSizes;
    QList<double> frameRates;
};

class FormatCatalogue {
public:
    // The program's catalogue (the ODOutputConfig resource).
    static const FormatCatalogue &shared();
    // A catalogue from its property-list root (category -> key -> record). Entries that are
    // not dictionaries are left out; a record without a container or extension keeps it empty.
    static FormatCatalogue fromPropertyList(const QVariantMap &root);

    // Category names in the catalogue's (sorted) order.
    QStringList categories() const { return _byCategory.keys(); }
    // The category's formats in the grid's order (their catalogue keys in plain string order).
    const std::vector<FormatRecord> &formatsIn(const QString &category) const;
    // The format named by a key, or null.
    const FormatRecord *find(const FormatKey &key) const;
    const FormatRecord *find(const QString &keyPath) const { return find(FormatKey::fromKeyPath(keyPath)); }
    // A format named as a user types it: a whole key path, or the category and the caption,
    // catalogue key or key without its prefix ("common video.mkv"), without regard to case.
    // Null when none.
    const FormatRecord *findTyped(const QString &typed) const;
    // Whether a format writes this extension (".mkv") or container ("matroska"); the
    // default formats of new items count as known.
    bool hasExtension(const QString &ext) const { return _extensions.contains(ext); }
    bool hasContainer(const QString &container) const { return _containers.contains(container); }

private:
    QMap<QString, std::vector<FormatRecord>> _byCategory;
    QSet<QString> _extensions, _containers;
};
