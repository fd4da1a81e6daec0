#pragma once
// XML property lists to and from QVariant.
// dict <-> QVariantMap, array <-> QVariantList, string <-> QString, integer <-> qlonglong,
// real <-> double, true/false <-> bool, data <-> QByteArray, date <-> QDateTime (UTC).
#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

namespace foundation {

class PropertyList {
public:
    // Files larger than this are refused unread: no property list of ours comes near it.
    static constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;
    static constexpr int kMaxDepth = 128;

    // Parses a document. Empty optional on malformed XML, unknown elements, excessive nesting.
    static std::optional<QVariant> parse(const QByteArray &xml, QString *error = nullptr);
    // Reads a regular file (FIFOs, devices and directories are refused without being opened).
    static std::optional<QVariant> readFile(const QString &path, QString *error = nullptr);
    static QByteArray serialize(const QVariant &root);
    // Writes atomically: readers see the old file or the new one, never a torn one.
    // Refuses (false, "not a regular file") when `path`, or what a link there names,
    // exists and is not a regular file: a FIFO, device or folder is never replaced.
    static bool writeFile(const QString &path, const QVariant &root, QString *error = nullptr);
};

} // namespace foundation
