#pragma once
// The preview area beside the list. It hosts the player's view (setPlayerView); while there
// is none, or it is hidden, it shows the selected item's picture with its name, length and
// frame size, or "Select an item to preview it".
#include <reelwright/LXMediaInfo.h>

#include <glazeform/LXView.h>

#include <QPointer>

class ODPreviewView : public LXView {
    Q_OBJECT
public:
    explicit ODPreviewView(QWidget *parent = nullptr);

    // The item shown while there is no player (null: none).
    void showItem(const LXMediaInfoPtr &item);
    const LXMediaInfoPtr &item() const { return _item; }
    // Puts a player's view into the area (origin 0, 0, the area's size) or takes it out
    // (null). The area owns the view from then on.
    void setPlayerView(QWidget *view);
    QWidget *playerView() const { return _playerView; }

    // The caption drawn under the picture for an item.
    static QString captionFor(const LXMediaInfo &item);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void drawContent(QPainter &painter, const QRect &dirty) override;

private:
    LXMediaInfoPtr _item;
    QPixmap _picture;
    qint64 _pictureKey = 0;
    QSize _pictureFor;
    QPointer<QWidget> _playerView;
};
