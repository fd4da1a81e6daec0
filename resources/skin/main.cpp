// The skin generator: draws every picture of the skin at 1x and 2x into a folder and writes
// a Qt resource file per library that lists them under :/pictures/.
//
//   cinvora-skin --formats FILE --out DIR --library NAME   pictures and DIR/NAME.qrc
//   cinvora-skin --formats FILE --list [--library NAME]     the picture names, one a line
//   cinvora-skin --icons DIR                                 the program's desktop icons,
//                                                            DIR/hicolor/<n>x<n>/apps/cinvora.png
#include "Catalogue.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>
#include <QSet>
#include <QTextStream>
#include <cstdio>

namespace {

QImage render(const skin::Picture &pic, int scale) {
    const QSize px(qRound(pic.size.width() * scale), qRound(pic.size.height() * scale));
    QImage img(px, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(scale);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    pic.draw(p, pic.size);
    p.end();
    img.setDevicePixelRatio(1.0);
    return img;
}

QString twoX(const QString &name) { return name.left(name.size() - 4) + "@2x.png"; }

QString xmlEscape(QString s) {
    return s.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;").replace('"', "&quot;");
}

bool writeIfChanged(const QString &path, const QByteArray &data) {
    QFile old(path);
    if (old.open(QIODevice::ReadOnly) && old.readAll() == data)
        return true;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(data);
    return f.commit();
}

} // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    QCommandLineParser cli;
    cli.addHelpOption();
    cli.addOption({"formats", "format picture list", "file"});
    cli.addOption({"out", "output folder", "dir"});
    cli.addOption({"library", "library whose pictures to write", "name"});
    cli.addOption({"list", "print the picture names"});
    cli.addOption({"icons", "write the desktop icons under this folder", "dir"});
    cli.process(app);

    if (cli.isSet("icons")) {
        const QDir root(cli.value("icons"));
        for (int n : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
            const QString rel = QStringLiteral("hicolor/%1x%1/apps").arg(n);
            if (!root.mkpath(rel)) {
                std::fprintf(stderr, "cinvora-skin: cannot create %s\n", qPrintable(root.filePath(rel)));
                return 1;
            }
            QImage img(n, n, QImage::Format_ARGB32_Premultiplied);
            img.fill(Qt::transparent);
            {
                QPainter p(&img);
                skin::drawAppIcon(p, QSizeF(n, n));
            }
            QByteArray png;
            QBuffer buf(&png);
            buf.open(QIODevice::WriteOnly);
            img.save(&buf, "PNG");
            if (!writeIfChanged(root.filePath(rel + "/cinvora.png"), png)) {
                std::fprintf(stderr, "cinvora-skin: cannot write the %d-pixel icon\n", n);
                return 1;
            }
        }
        return 0;
    }

    QString error;
    const auto pictures = skin::catalogue(cli.value("formats"), &error);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "cinvora-skin: %s\n", qPrintable(error));
        return 1;
    }
    QSet<QString> seen;
    for (const auto &pic : pictures) {
        if (seen.contains(pic.name)) {
            std::fprintf(stderr, "cinvora-skin: picture %s defined twice\n", qPrintable(pic.name));
            return 1;
        }
        seen.insert(pic.name);
    }
    const QString library = cli.value("library");

    if (cli.isSet("list")) {
        QTextStream out(stdout);
        for (const auto &pic : pictures)
            if (library.isEmpty() || pic.library == library)
                out << pic.name << '\t' << pic.library << '\t' << pic.size.width() << 'x' << pic.size.height() << '\n';
        return 0;
    }

    const QString outDir = cli.value("out");
    if (outDir.isEmpty() || library.isEmpty()) {
        std::fprintf(stderr, "cinvora-skin: --out and --library are required\n");
        return 2;
    }
    QDir dir(outDir);
    if (!dir.mkpath("pictures")) {
        std::fprintf(stderr, "cinvora-skin: cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    QByteArray qrc = "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/\">\n";
    int count = 0;
    for (const auto &pic : pictures) {
        if (pic.library != library)
            continue;
        for (int scale : {1, 2}) {
            const QString file = scale == 1 ? pic.name : twoX(pic.name);
            const QString rel = "pictures/" + file;
            QByteArray png;
            {
                QBuffer buf(&png);
                buf.open(QIODevice::WriteOnly);
                render(pic, scale).save(&buf, "PNG");
            }
            if (!writeIfChanged(dir.filePath(rel), png)) {
                std::fprintf(stderr, "cinvora-skin: cannot write %s\n", qPrintable(dir.filePath(rel)));
                return 1;
            }
            qrc += "  <file alias=\"" + xmlEscape(rel).toUtf8() + "\">" + xmlEscape(rel).toUtf8() + "</file>\n";
        }
        ++count;
    }
    qrc += "</qresource>\n</RCC>\n";
    if (!writeIfChanged(dir.filePath(library + ".qrc"), qrc)) {
        std::fprintf(stderr, "cinvora-skin: cannot write the resource list\n");
        return 1;
    }
    std::printf("cinvora-skin: %d pictures for %s\n", count, qPrintable(library));
    return 0;
}
