#pragma once
// A picture view that accepts files dragged onto it.
#include <QPixmap>
#include <QStringList>
#include <QWidget>

class QMimeData;

class LXImageView;

// Every method is optional: the defaults do nothing.
class LXImageViewDelegate {
public:
    virtual ~LXImageViewDelegate() = default;
    virtual void acceptDropedFiles(const QStringList &paths) { (void)paths; }
    virtual void clickImageView(LXImageView *view) { (void)view; }
};

class LXImageView : public QWidget {
    Q_OBJECT
public:
    explicit LXImageView(QWidget *parent = nullptr);
    LXImageView(const QRectF &frame, QWidget *parent);

    LXImageViewDelegate *imageViewDelegate() const { return _delegate; }
    void setImageViewDelegate(LXImageViewDelegate *d) { _delegate = d; }
    const QPixmap &image() const { return _image; }
    // Shown centred; a picture larger than the view is scaled down to fit, keeping its shape.
    void setImage(const QPixmap &p) { _image = p, update(); }

    // The local file paths a drag carries (empty when it carries none).
    static QStringList filePaths(const QMimeData *mime);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    LXImageViewDelegate *_delegate = nullptr;
    QPixmap _image;
};
