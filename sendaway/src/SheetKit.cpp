#include "SheetKit.h"

#include <glazeform/LXButton.h>
#include <glazeform/LXCheckButton.h>
#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXImageView.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXPopUpButton.h>
#include <glazeform/LXStyle.h>

#include <QGraphicsOpacityEffect>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPropertyAnimation>
#include <cmath>

namespace sheetkit {

const QColor kText(0xe6, 0xe9, 0xed);
const QColor kSoftText(0x8f, 0x98, 0xa3);
const QColor kErrorText(0xf0, 0x8a, 0x82);

namespace {
const char *kFieldStyle = "QLineEdit, QPlainTextEdit { background: #121418; color: #e6e9ed; border: 1px solid #3a4049;"
                          " border-radius: 5px; padding: 0 7px; selection-background-color: #1c8ec7; }"
                          "QLineEdit:focus, QPlainTextEdit:focus { border: 1px solid #38c0f5; }"
                          "QLineEdit:disabled, QPlainTextEdit:disabled { color: #6b737d; background: #181b20; }"
                          "QPlainTextEdit { padding: 3px 4px; }";
}

LXLabel *caption(QWidget *page, const QRectF &frame, qreal size, const QColor &color, bool bold) {
    auto *l = new LXLabel(frame, page);
    l->setTextFont(bold ? LXStyle::boldSystemFont(size) : LXStyle::systemFont(size));
    l->setTextColor(color);
    l->setBUseDot(true);
    return l;
}

LXButton *button(QWidget *page, const QRectF &frame, LXButtonDelegate *delegate, bool isDefault) {
    auto *b = new LXButton(frame, page);
    if (isDefault)
        b->setImages(QStringLiteral("ExportDefaultButtonNormal.png"), QStringLiteral("ExportDefaultButtonPress.png"));
    else
        b->setImages(QStringLiteral("ExportButtonNormal.png"), QStringLiteral("ExportButtonPress.png"));
    b->setTextFont(LXStyle::systemFont(13));
    b->setTextNormalColor(kText);
    b->setTextPressColor(isDefault ? QColor(Qt::white) : QColor(0x38, 0xc0, 0xf5));
    b->setTextDisableColor(QColor(0x7a, 0x82, 0x8c));
    b->setBShadowText(isDefault);
    b->setTextShadowColor(QColor(0, 0, 0, 90));
    b->setYOffSet(-1);
    b->setTextTitle(QString());
    b->setDelegate(delegate);
    return b;
}

QLineEdit *field(QWidget *page, const QRectF &frame, bool password) {
    auto *f = new QLineEdit(page);
    f->setStyleSheet(QString::fromLatin1(kFieldStyle));
    f->setFont(LXStyle::systemFont(13));
    if (password)
        f->setEchoMode(QLineEdit::Password);
    LXGeometry::place(f, frame);
    return f;
}

QPlainTextEdit *textView(QWidget *page, const QRectF &frame) {
    auto *t = new QPlainTextEdit(page);
    t->setStyleSheet(QString::fromLatin1(kFieldStyle));
    t->setFont(LXStyle::systemFont(13));
    t->setTabChangesFocus(true);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    LXGeometry::place(t, frame);
    return t;
}

LXCheckButton *checkBox(QWidget *page, const QRectF &frame) {
    auto *c = new LXCheckButton(frame, page);
    c->setNormalImage(LXImage::named(QStringLiteral("LXCheckNormal.png")));
    c->setCheckedImage(LXImage::named(QStringLiteral("LXCheckChecked.png")));
    c->setTextFont(LXStyle::systemFont(12));
    c->setTextColor(kText);
    c->setTextShadowColor(QColor(0, 0, 0, 0));
    return c;
}

LXPopUpButton *popup(QWidget *page, const QRectF &frame) {
    auto *p = new LXPopUpButton(frame, page);
    p->setNormalImage(LXImage::named(QStringLiteral("UploadPopupNormal.png")));
    p->setPressImage(LXImage::named(QStringLiteral("UploadPopupPress.png")));
    p->setPopupMenuItemBg(LXImage::named(QStringLiteral("UploadPopupMenuBg.png")));
    p->setFontSize(13);
    p->setYOffSet(-2);
    return p;
}

QWidget *emblem(QWidget *page, const QRectF &frame) {
    auto *v = new LXImageView(frame, page);
    v->setImage(LXImage::named(QStringLiteral("ExportUploadEmblem.png")));
    v->setAttribute(Qt::WA_TransparentForMouseEvents);
    return v;
}

namespace {
class RuledPage : public QWidget {
public:
    RuledPage(QWidget *parent, const QList<double> &rules) : QWidget(parent), _rules(rules) {}

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        for (double y : _rules) {
            const double top = height() - y;
            p.fillRect(QRectF(24, top, width() - 48, 1), QColor(0, 0, 0, 110));
            p.fillRect(QRectF(24, top + 1, width() - 48, 1), QColor(255, 255, 255, 10));
        }
    }

private:
    QList<double> _rules;
};
} // namespace

QWidget *page(QWidget *sheet, double width, double height, const QList<double> &rules) {
    auto *w = new RuledPage(sheet, rules);
    w->setGeometry(0, 0, int(width), int(height));
    w->hide();
    return w;
}

void switchPage(QWidget *sheet, QWidget *from, QWidget *to, double height) {
    const int w = sheet->width() > 0 ? sheet->width() : to->width();
    const QPoint topLeft = sheet->pos();
    sheet->setFixedSize(w, int(height));
    sheet->move(topLeft);
    if (from && from != to)
        from->hide();
    to->setGeometry(0, 0, w, int(height));
    auto *fade = new QGraphicsOpacityEffect(to);
    fade->setOpacity(0.0);
    to->setGraphicsEffect(fade);
    to->show();
    to->raise();
    auto *anim = new QPropertyAnimation(fade, "opacity", to);
    anim->setDuration(160);
    anim->setStartValue(0.0);
    anim->setEndValue(1.0);
    // The effect goes when the fade is over: a page at rest is drawn directly.
    QObject::connect(anim, &QPropertyAnimation::finished, to, [to] { to->setGraphicsEffect(nullptr); });
    anim->start(QAbstractAnimation::DeleteWhenStopped);
    to->setFocus();
    sheet->update();
}

// ---------------------------------------------------------------------------------------

SpinningIndicator::SpinningIndicator(const QRectF &frame, QWidget *parent) : QWidget(parent) {
    LXGeometry::place(this, frame);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    _timer.setInterval(80);
    connect(&_timer, &QTimer::timeout, this, [this] {
        _phase = (_phase + 1) % 12;
        update();
    });
}

void SpinningIndicator::startAnimation() {
    _timer.start();
    update();
}

void SpinningIndicator::stopAnimation() {
    _timer.stop();
    update();
}

void SpinningIndicator::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c = QRectF(rect()).center();
    const double r = std::min(width(), height()) / 2.0;
    for (int i = 0; i < 12; ++i) {
        const int age = (_phase - i + 12) % 12;
        QColor col(0xd2, 0xd7, 0xde);
        col.setAlphaF(float(isAnimating() ? std::max(0.15, 1.0 - age / 12.0) : 0.35));
        const double a = i * M_PI / 6.0;
        const QPointF dir(std::sin(a), -std::cos(a));
        p.setPen(QPen(col, std::max(1.5, r / 4.5), Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c + dir * (r * 0.45), c + dir * (r * 0.9));
    }
}

} // namespace sheetkit
