#include "glazeform/LXImageView.h"

#include "glazeform/LXGeometry.h"
#include "glazeform/LXImage.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

LXImageView::LXImageView(QWidget *parent) : QWidget(parent) { setAcceptDrops(true); }

LXImageView::LXImageView(const QRectF &frame, QWidget *parent) : LXImageView(parent) { LXGeometry::place(this, frame); }

QStringList LXImageView::filePaths(const QMimeData *mime) {
    QStringList out;
    if (!mime || !mime->hasUrls())
        return out;
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            out << url.toLocalFile();
    return out;
}

void LXImageView::paintEvent(QPaintEvent *) {
    if (_image.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    QSizeF s = LXImage::pointSize(_image);
    if (s.width() > width() || s.height() > height())
        s.scale(size(), Qt::KeepAspectRatio);
    const QRectF r((width() - s.width()) / 2, (height() - s.height()) / 2, s.width(), s.height());
    p.drawPixmap(r, _image, QRectF(_image.rect()));
}

void LXImageView::mousePressEvent(QMouseEvent *event) {
    event->accept();
    if (_delegate)
        _delegate->clickImageView(this);
}

// Only drags that carry files are taken, and always as a copy: the files stay where they are.
void LXImageView::dragEnterEvent(QDragEnterEvent *event) {
    if (!filePaths(event->mimeData()).isEmpty() && (event->possibleActions() & Qt::CopyAction)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void LXImageView::dragMoveEvent(QDragMoveEvent *event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void LXImageView::dropEvent(QDropEvent *event) {
    const QStringList paths = filePaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
    } else {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        if (_delegate)
            _delegate->acceptDropedFiles(paths);
    }
    update();
}
