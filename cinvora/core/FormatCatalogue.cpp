#include "FormatCatalogue.h"

#include <foundation/PropertyList.h>

namespace {

const QString kPrefixMark = QStringLiteral("--");

QList<double> numbers(const QVariant &v) {
    QList<double> out;
    for (const QVariant &e : v.toList()) {
        bool ok = false;
        const double d = e.toDouble(&ok);
        if (ok)
            out << d;
    }
    return out;
}

// "1920*1080", blanks allowed around the numbers; an entry that is not two positive whole
// numbers is no size.
std::optional<LXFrameSize> frameSize(const QString &text) {
    const QStringList parts = text.split(QLatin1Char('*'));
    if (parts.size() != 2)
        return std::nullopt;
    bool okW = false, okH = false;
    const qulonglong w = parts[0].trimmed().toULongLong(&okW);
    const qulonglong h = parts[1].trimmed().toULongLong(&okH);
    if (!okW || !okH || w == 0 || h == 0)
        return std::nullopt;
    return LXFrameSize{w, h};
}

FormatRecord recordFrom(const FormatKey &key, const QVariantMap &m) {
    FormatRecord r;
    r.key = key;
    const QString name = m.value(QStringLiteral("keyName")).toString();
    r.caption = name.isEmpty() ? key.catalogueKey() : name;
    r.container = m.value(QStringLiteral("format")).toString();
    r.ext = m.value(QStringLiteral("Ext")).toString();
    r.isAudio = m.value(QStringLiteral("IsAudio"), false).toBool();
    const QVariantMap audio = m.value(QStringLiteral("Audio")).toMap();
    r.audioCodecs = audio.value(QStringLiteral("Codec")).toStringList();
    r.channels = numbers(audio.value(QStringLiteral("channel")));
    r.sampleRates = numbers(audio.value(QStringLiteral("samplerate")));
    const QVariantMap video = m.value(QStringLiteral("Video")).toMap();
    r.videoCodecs = video.value(QStringLiteral("Codec")).toStringList();
    for (const QString &s : video.value(QStringLiteral("Resolution")).toStringList())
        if (const auto size = frameSize(s))
            r.frameSizes << *size;
    r.frameRates = numbers(video.value(QStringLiteral("framerate")));
    return r;
}

} // namespace

FormatKey FormatKey::fromKeyPath(const QString &keyPath) {
    const qsizetype dot = keyPath.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return {};
    return {keyPath.left(dot), keyPath.mid(dot + 1)};
}

QString FormatKey::shownKey() const {
    // The prefix is one character before the dashes; a key that merely contains dashes
    // further in ("Wide--Screen") keeps them.
    return _catalogueKey.indexOf(kPrefixMark) == 1 ? _catalogueKey.mid(3) : _catalogueKey;
}

QString FormatKey::keyPath() const { return isEmpty() ? QString() : _category + QLatin1Char('.') + _catalogueKey; }

QString FormatKey::lastKey() const { return isEmpty() ? QString() : _category + QLatin1Char('.') + shownKey(); }

QString FormatKey::compKey() const { return isEmpty() ? QString() : _category + _catalogueKey; }

FormatCatalogue FormatCatalogue::fromPropertyList(const QVariantMap &root) {
    FormatCatalogue c;
    for (auto cat = root.cbegin(); cat != root.cend(); ++cat) {
        if (cat.value().typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap formats = cat.value().toMap();
        std::vector<FormatRecord> &records = c._byCategory[cat.key()];
        // QVariantMap iterates in plain string order, the grid's order.
        for (auto f = formats.cbegin(); f != formats.cend(); ++f) {
            if (f.value().typeId() != QMetaType::QVariantMap)
                continue;
            records.push_back(recordFrom(FormatKey(cat.key(), f.key()), f.value().toMap()));
            if (!records.back().ext.isEmpty())
                c._extensions.insert(records.back().ext);
            if (!records.back().container.isEmpty())
                c._containers.insert(records.back().container);
        }
    }
    for (bool video : {true, false}) {
        c._extensions.insert(LXDefaultFormat::forSource(video).ext);
        c._containers.insert(LXDefaultFormat::forSource(video).format);
    }
    return c;
}

const FormatCatalogue &FormatCatalogue::shared() {
    static const FormatCatalogue catalogue = [] {
        const auto root = foundation::PropertyList::readFile(QStringLiteral(":/ODOutputConfig.plist"));
        return fromPropertyList(root ? root->toMap() : QVariantMap());
    }();
    return catalogue;
}

const std::vector<FormatRecord> &FormatCatalogue::formatsIn(const QString &category) const {
    static const std::vector<FormatRecord> none;
    const auto it = _byCategory.constFind(category);
    return it == _byCategory.cend() ? none : *it;
}

const FormatRecord *FormatCatalogue::find(const FormatKey &key) const {
    for (const FormatRecord &r : formatsIn(key.category()))
        if (r.key == key)
            return &r;
    return nullptr;
}

const FormatRecord *FormatCatalogue::findTyped(const QString &typed) const {
    if (const FormatRecord *exact = find(typed))
        return exact;
    const FormatKey asked = FormatKey::fromKeyPath(typed);
    const QString category = asked.category().trimmed();
    const QString name = asked.catalogueKey().trimmed();
    if (name.isEmpty())
        return nullptr;
    for (auto c = _byCategory.cbegin(); c != _byCategory.cend(); ++c) {
        if (c.key().compare(category, Qt::CaseInsensitive) != 0)
            continue;
        for (const FormatRecord &r : *c)
            if (r.caption.compare(name, Qt::CaseInsensitive) == 0 ||
                r.key.catalogueKey().compare(name, Qt::CaseInsensitive) == 0 ||
                r.key.shownKey().compare(name, Qt::CaseInsensitive) == 0)
                return &r;
    }
    return nullptr;
}
