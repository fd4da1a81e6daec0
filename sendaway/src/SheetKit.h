#pragma once
// Building blocks of the upload sheets: captions, fields, skinned buttons and check boxes,
// the category pop-up, a spinning indicator, and the page switch. Frames are lower-left
// points in the page (LXGeometry::place).
#include <QColor>
#include <QRectF>
#include <QTimer>
#include <QWidget>

class LXButton;
class LXButtonDelegate;
class LXCheckButton;
class LXLabel;
class LXPopUpButton;
class QLineEdit;
class QPlainTextEdit;

namespace sheetkit {

extern const QColor kText;
extern const QColor kSoftText;
extern const QColor kErrorText;

LXLabel *caption(QWidget *page, const QRectF &frame, qreal size = 12, const QColor &color = kSoftText,
                 bool bold = false);
LXButton *button(QWidget *page, const QRectF &frame, LXButtonDelegate *delegate, bool isDefault = false);
QLineEdit *field(QWidget *page, const QRectF &frame, bool password = false);
QPlainTextEdit *textView(QWidget *page, const QRectF &frame);
LXCheckButton *checkBox(QWidget *page, const QRectF &frame);
LXPopUpButton *popup(QWidget *page, const QRectF &frame);
// The emblem tile of the upload sheets.
QWidget *emblem(QWidget *page, const QRectF &frame);
// A page of a sheet: transparent, sized to the sheet, with quiet horizontal rules at the
// given heights (lower-left points, from the page's bottom), inset by the sheet margin.
QWidget *page(QWidget *sheet, double width, double height, const QList<double> &rules = {});

// Shows one page instead of another: the sheet keeps its top-left corner and width, takes
// the page's height as its fixed size, the page fills it and fades in, and takes the focus.
void switchPage(QWidget *sheet, QWidget *from, QWidget *to, double height);

// The platform's spinning progress indicator: hidden when not animating if asked to.
class SpinningIndicator : public QWidget {
    Q_OBJECT
public:
    SpinningIndicator(const QRectF &frame, QWidget *parent);
    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return _timer.isActive(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer _timer;
    int _phase = 0;
};

} // namespace sheetkit
