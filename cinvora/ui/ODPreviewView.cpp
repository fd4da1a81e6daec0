#include "ODPreviewView.h"

#include "ODTheme.h"

#include <glazeform/LXCommon.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXStyle.h>

#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr double kMargin = 22;
constexpr double kCaption = 52;
} // namespace

ODPreviewView::ODPreviewView(QWidget *parent) : LXView(parent) {
    setBackGroundImage(LXImage::named(QStringLiteral("ODTableViewBg.png")));
}

QString ODPreviewView::captionFor(const LXMediaInfo &item) {
    QStringList parts;
    parts << LXCommon::drawTimeDescStr(item.trackEnd() - item.trackStart());
    if (item.bSourceIsVideo() && item.orgWidth() > 0)
        parts << QStringLiteral("%1 × %2").arg(item.orgWidth()).arg(item.orgHeight());
    const QString from = QFileInfo(item.fileName()).suffix().toUpper();
    QString to = item.outputExt();
    if (to.startsWith('.'))
        to.remove(0, 1);
    if (!from.isEmpty() && !to.isEmpty())
        parts << QStringLiteral("%1 → %2").arg(from, to.toUpper());
    return parts.join(QStringLiteral("   ·   "));
}

void ODPreviewView::showItem(const LXMediaInfoPtr &item) {
    _item = item;
    update();
}

void ODPreviewView::setPlayerView(QWidget *view) {
    if (_playerView == view)
        return;
    if (_playerView) {
        _playerView->hide();
        _playerView->deleteLater();
    }
    _playerView = view;
    if (view) {
        view->setParent(this);
        view->setGeometry(rect());
        view->show();
    }
    update();
}

void ODPreviewView::resizeEvent(QResizeEvent *) {
    if (_playerView)
        _playerView->setGeometry(rect());
}

void ODPreviewView::drawContent(QPainter &p, const QRect &) {
    if (_playerView && !_playerView->isHidden())
        return;
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    // The screen: a 16:9 well as large as the area allows above the caption.
    const QRectF room(kMargin, kMargin, width() - 2 * kMargin, height() - kMargin - kCaption);
    if (room.width() < 40 || room.height() < 40)
        return;
    QSizeF screen(room.width(), room.width() * 9.0 / 16.0);
    if (screen.height() > room.height())
        screen = QSizeF(room.height() * 16.0 / 9.0, room.height());
    const QRectF well(room.center().x() - screen.width() / 2, room.top() + (room.height() - screen.height()) / 2,
                      screen.width(), screen.height());
    QPainterPath wellPath;
    wellPath.addRoundedRect(well, 8, 8);
    for (int i = 3; i >= 1; --i)
        p.fillPath(wellPath.translated(0, i), QColor(0, 0, 0, 40 / i));
    p.fillPath(wellPath, QColor(0x08, 0x09, 0x0b));

    const QImage image = _item ? _item->thumbNailImage() : QImage();
    if (!image.isNull()) {
        const qreal dpr = devicePixelRatioF();
        const QSize want(int(well.width() * dpr), int(well.height() * dpr));
        if (_pictureKey != image.cacheKey() || _pictureFor != want) {
            QImage scaled = image.scaled(want, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            scaled.setDevicePixelRatio(dpr);
            _picture = QPixmap::fromImage(scaled);
            _pictureKey = image.cacheKey();
            _pictureFor = want;
        }
        const QSizeF s = LXImage::pointSize(_picture);
        const QRectF target(well.center().x() - s.width() / 2, well.center().y() - s.height() / 2, s.width(),
                            s.height());
        p.save();
        p.setClipPath(wellPath);
        p.drawPixmap(target, _picture, QRectF(_picture.rect()));
        p.restore();
    } else {
        const QFont f = LXStyle::systemFont(13);
        p.setFont(f);
        p.setPen(odtheme::textDim());
        p.drawText(well, Qt::AlignCenter, tr("Select an item to preview it"));
    }
    p.setPen(QPen(QColor(255, 255, 255, 18), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wellPath);

    if (!_item)
        return;
    const QRectF nameBox(kMargin, well.bottom() + 12, width() - 2 * kMargin, 18);
    QFont nameFont = LXStyle::boldSystemFont(14);
    p.setFont(nameFont);
    p.setPen(odtheme::text());
    const QString name =
        QFontMetricsF(nameFont).elidedText(QFileInfo(_item->fileName()).fileName(), Qt::ElideMiddle, nameBox.width());
    p.drawText(nameBox, Qt::AlignHCenter | Qt::AlignVCenter, name);
    p.setFont(LXStyle::systemFont(12));
    p.setPen(odtheme::textDim());
    p.drawText(nameBox.translated(0, 19), Qt::AlignHCenter | Qt::AlignVCenter, captionFor(*_item));
}
