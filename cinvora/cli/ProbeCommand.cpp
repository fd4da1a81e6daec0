#include "ProbeCommand.h"
#include "SignalWatcher.h"

#include <framewheel/SWMediaInfoManager.h>
#include <reelwright/LXMediaInfo.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace {
QJsonArray streamsJson(const QList<SWStreamDetail> &streams) {
    QJsonArray a;
    for (const SWStreamDetail &s : streams)
        a.append(QJsonObject{{"name", s.name}, {"number", s.number}});
    return a;
}
} // namespace

int runProbe(const QStringList &args, const SignalWatcher &interrupts) {
    QStringList paths = args;
    // --thumbnails also decodes each file's row picture (what adding a file to the list costs).
    const bool thumbnails = paths.removeAll(QStringLiteral("--thumbnails")) > 0;
    if (paths.isEmpty()) {
        std::fputs("cinvora-cli probe: no files given\n", stderr);
        return 2;
    }
    int rc = 0;
    for (const QString &path : paths) {
        if (interrupts.caught())
            return 130;
        auto probe = SWMediaInfoManager::initWithFile(path, thumbnails);
        QJsonObject o{{"path", path}};
        if (!probe->isValid()) {
            o.insert("error", probe->error());
            rc = 1;
        } else {
            auto item = LXMediaInfo::initMediaInfoWithProbe(path, probe);
            o.insert("hasVideo", probe->hasVideo());
            o.insert("duration", item->totalDuration());
            o.insert("durationUs", static_cast<qint64>(probe->duration()));
            o.insert("width", static_cast<qint64>(probe->width()));
            o.insert("height", static_cast<qint64>(probe->height()));
            o.insert("frameRate", probe->framerate());
            o.insert("sampleRate", static_cast<qint64>(probe->samples()));
            o.insert("audioStreams", streamsJson(probe->audioStreams()));
            o.insert("subtitleStreams", streamsJson(probe->subtitleStreams()));
            if (thumbnails) {
                const QImage t = probe->thumbnailImage();
                o.insert("thumbnail", t.isNull() ? QString() : QStringLiteral("%1x%2").arg(t.width()).arg(t.height()));
            }
        }
        const QByteArray line = QJsonDocument(o).toJson(QJsonDocument::Compact);
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    return rc;
}
