#include "AvHelpers.h"

extern "C" {
#include <libavutil/display.h>
}

#include <QFile>
#include <cmath>
#include <sys/stat.h>

namespace fw {

QString avError(int code) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, buf, sizeof buf);
    return QString::fromUtf8(buf);
}

int Deadline::callback(void *opaque) {
    auto *d = static_cast<Deadline *>(opaque);
    return d && std::chrono::steady_clock::now() > d->until ? 1 : 0;
}

InputContextPtr openInput(const QString &path, Deadline *deadline, QString *error, bool findStreamInfo) {
    AVIOInterruptCB cb{&Deadline::callback, deadline};
    return openInput(path, cb, error, findStreamInfo);
}

InputContextPtr openInput(const QString &path, const AVIOInterruptCB &interrupt, QString *error, bool findStreamInfo) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        *error = QStringLiteral("file not found");
        return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
        *error = QStringLiteral("is a folder, not a media file");
        return nullptr;
    }
    // FIFOs, sockets and devices could block forever or never end.
    if (!S_ISREG(st.st_mode)) {
        *error = QStringLiteral("not a regular file");
        return nullptr;
    }
    if (st.st_size == 0) {
        *error = QStringLiteral("empty file");
        return nullptr;
    }
    AVFormatContext *raw = avformat_alloc_context();
    if (!raw) {
        *error = QStringLiteral("out of memory");
        return nullptr;
    }
    raw->interrupt_callback = interrupt;
    // "file:" keeps a name such as "http:x.mp4" or "a|b" from being read as a protocol.
    const QByteArray url = "file:" + native;
    int rc = avformat_open_input(&raw, url.constData(), nullptr, nullptr);
    if (rc < 0) {
        // avformat_open_input frees the context on failure.
        *error = rc == AVERROR_INVALIDDATA ? QStringLiteral("unrecognised or damaged media file")
                                           : QStringLiteral("cannot open: ") + avError(rc);
        return nullptr;
    }
    InputContextPtr ctx(raw);
    if (findStreamInfo) {
        rc = avformat_find_stream_info(ctx.get(), nullptr);
        if (rc < 0) {
            *error = QStringLiteral("cannot read the streams: ") + avError(rc);
            return nullptr;
        }
    }
    return ctx;
}

int streamRotation(const AVStream *st) {
    const uint8_t *side = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (!side)
        return 0;
    const double angle = av_display_rotation_get(reinterpret_cast<const int32_t *>(side));
    if (std::isnan(angle))
        return 0;
    // av_display_rotation_get answers counter-clockwise degrees.
    int deg = static_cast<int>(std::lround(-angle)) % 360;
    if (deg < 0)
        deg += 360;
    return ((deg + 45) / 90 * 90) % 360;
}

} // namespace fw
