#pragma once
// Every picture of the skin: its file name, the library whose resources carry it, its size in
// points and how to draw it.
#include <QPainter>
#include <QSizeF>
#include <QString>
#include <functional>
#include <vector>

namespace skin {

struct Picture {
    QString name;    // "ODConvertNormal.png"
    QString library; // "cinvora", "reelwright", "glazeform" or "sendaway"
    QSizeF size;     // points
    std::function<void(QPainter &, const QSizeF &)> draw;
};

// The catalogue; the format tiles come from the lines of `formatsFile` (see format-pictures.txt).
// `error` receives a message when that file cannot be read.
std::vector<Picture> catalogue(const QString &formatsFile, QString *error);

// The program's icon, drawn into a square of the given size (desktop icons and the window).
void drawAppIcon(QPainter &p, const QSizeF &size);

} // namespace skin
