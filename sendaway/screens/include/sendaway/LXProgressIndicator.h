#pragma once
// A determinate progress bar drawn from the skin's sliced track pictures.
#include <QPixmap>
#include <QWidget>

class LXProgressIndicator : public QWidget {
    Q_OBJECT
public:
    explicit LXProgressIndicator(QWidget *parent = nullptr);
    // Placed by a lower-left frame in the parent.
    LXProgressIndicator(const QRectF &frame, QWidget *parent);

    double minValue() const { return _minValue; }
    double maxValue() const { return _maxValue; }
    void setMinValue(double v);
    void setMaxValue(double v);
    // Clamped to [minValue, maxValue]; not-a-number counts as minValue.
    double doubleValue() const { return _value; }
    void setDoubleValue(double v);
    // The filled part of the width, 0..1.
    double fraction() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double _minValue = 0.0;
    double _maxValue = 100.0;
    double _value = 0.0;
    QPixmap _bg[3], _fg[3];
};
