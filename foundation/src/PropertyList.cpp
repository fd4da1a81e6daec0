#include "foundation/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <sys/stat.h>

namespace foundation {
namespace {

struct Parser {
    QXmlStreamReader xml;
    QString error;

    bool fail(const QString &why) {
        if (error.isEmpty())
            error = why;
        return false;
    }

    // Positioned on a start element: reads the value it opens, up to its end element.
    bool readValue(QVariant &out, int depth) {
        if (depth > PropertyList::kMaxDepth)
            return fail("nesting too deep");
        const auto name = xml.name();
        if (name == u"dict") {
            QVariantMap map;
            while (xml.readNextStartElement()) {
                if (xml.name() != u"key")
                    return fail("dict entry without key");
                const QString key = xml.readElementText();
                if (xml.hasError())
                    return false;
                if (!xml.readNextStartElement())
                    return fail("key without value");
                QVariant v;
                if (!readValue(v, depth + 1))
                    return false;
                map.insert(key, v);
            }
            out = map;
            return !xml.hasError();
        }
        if (name == u"array") {
            QVariantList list;
            while (xml.readNextStartElement()) {
                QVariant v;
                if (!readValue(v, depth + 1))
                    return false;
                list.append(v);
            }
            out = list;
            return !xml.hasError();
        }
        if (name == u"true" || name == u"false") {
            out = (name == u"true");
            xml.skipCurrentElement();
            return !xml.hasError();
        }
        const QString text = xml.readElementText();
        if (xml.hasError())
            return false;
        if (name == u"string") {
            out = text;
        } else if (name == u"integer") {
            bool ok = false;
            const qlonglong v = text.trimmed().toLongLong(&ok);
            if (!ok)
                return fail("bad integer");
            out = v;
        } else if (name == u"real") {
            bool ok = false;
            const double v = text.trimmed().toDouble(&ok);
            if (!ok)
                return fail("bad real");
            out = v;
        } else if (name == u"data") {
            out = QByteArray::fromBase64(text.toLatin1(), QByteArray::Base64Encoding);
        } else if (name == u"date") {
            QDateTime d = QDateTime::fromString(text.trimmed(), Qt::ISODate);
            if (!d.isValid())
                return fail("bad date");
            out = d.toUTC();
        } else {
            return fail("unknown element " + name.toString());
        }
        return true;
    }
};

void writeValue(QXmlStreamWriter &w, const QVariant &v) {
    switch (v.typeId()) {
    case QMetaType::QVariantMap: {
        const QVariantMap map = v.toMap();
        if (map.isEmpty()) {
            w.writeEmptyElement("dict");
            return;
        }
        w.writeStartElement("dict");
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            w.writeTextElement("key", it.key());
            writeValue(w, it.value());
        }
        w.writeEndElement();
        return;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        const QVariantList list = v.toList();
        if (list.isEmpty()) {
            w.writeEmptyElement("array");
            return;
        }
        w.writeStartElement("array");
        for (const QVariant &e : list)
            writeValue(w, e);
        w.writeEndElement();
        return;
    }
    case QMetaType::Bool:
        w.writeEmptyElement(v.toBool() ? "true" : "false");
        return;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        w.writeTextElement("integer", QString::number(v.toLongLong()));
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        w.writeTextElement("real", QString::number(v.toDouble(), 'g', 17));
        return;
    case QMetaType::QByteArray:
        w.writeTextElement("data", QString::fromLatin1(v.toByteArray().toBase64()));
        return;
    case QMetaType::QDateTime:
        w.writeTextElement("date", v.toDateTime().toUTC().toString(Qt::ISODate));
        return;
    default:
        w.writeTextElement("string", v.toString());
        return;
    }
}

} // namespace

std::optional<QVariant> PropertyList::parse(const QByteArray &bytes, QString *error) {
    Parser p;
    p.xml.addData(bytes);
    QVariant root;
    bool ok = false;
    if (p.xml.readNextStartElement()) {
        if (p.xml.name() == u"plist") {
            if (p.xml.readNextStartElement()) {
                ok = p.readValue(root, 0);
                // Anything but the closing tag after the root value is malformed.
                if (ok && p.xml.readNextStartElement())
                    ok = p.fail("more than one root value");
            } else {
                ok = p.fail("empty plist");
            }
        } else {
            ok = p.fail("not a property list");
        }
    } else {
        ok = p.fail("no root element");
    }
    if (ok && p.xml.hasError())
        ok = false;
    if (!ok) {
        if (error)
            *error = p.xml.hasError() ? p.xml.errorString() : p.error;
        return std::nullopt;
    }
    return root;
}

std::optional<QVariant> PropertyList::readFile(const QString &path, QString *error) {
    if (path.startsWith(u':')) {
        // A Qt resource: part of the program, neither a FIFO nor endless.
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            if (error)
                *error = f.errorString();
            return std::nullopt;
        }
        return parse(f.readAll(), error);
    }
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) != 0) {
        if (error)
            *error = "no such file";
        return std::nullopt;
    }
    // Opening a FIFO would block; a device could be endless.
    if (!S_ISREG(st.st_mode)) {
        if (error)
            *error = "not a regular file";
        return std::nullopt;
    }
    if (st.st_size > kMaxFileBytes) {
        if (error)
            *error = "file too large";
        return std::nullopt;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = f.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes) {
        if (error)
            *error = "file too large";
        return std::nullopt;
    }
    return parse(bytes, error);
}

QByteArray PropertyList::serialize(const QVariant &root) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(1);
    w.writeStartDocument();
    w.writeDTD("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">");
    w.writeStartElement("plist");
    w.writeAttribute("version", "1.0");
    writeValue(w, root);
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

bool PropertyList::writeFile(const QString &path, const QVariant &root, QString *error) {
    // The save replaces the file (through a link, the file the link names). Whatever is
    // not a regular file there - a FIFO, a device, a folder - would be destroyed by that
    // rename, and as root a link to /dev/null would take the system's with it: refuse.
    // A missing name is fine, it is simply created.
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (error)
            *error = "not a regular file";
        return false;
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    const QByteArray bytes = serialize(root);
    if (f.write(bytes) != bytes.size()) {
        if (error)
            *error = f.errorString();
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace foundation
