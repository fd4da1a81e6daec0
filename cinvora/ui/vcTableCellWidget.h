#pragma once
// The widget that draws one job row of the list and hands the row's events to the job's
// delegate (the document). The list creates only as many of these as fit on screen and
// binds each to whichever job it currently shows (setJob), so one widget serves many jobs
// over its life. Main thread only.
#include <vcTableCellView.h>

#include <glazeform/LXButton.h>
#include <glazeform/LXView.h>

#include <QPixmap>

class LXLabel;
class LXSliderA;

// The row's picture of its item: scaled to fit, corners rounded; mouse events pass through.
class vcThumbView : public QWidget {
    Q_OBJECT
public:
    vcThumbView(const QRectF &frame, QWidget *parent);
    void setImage(const QImage &image);
    const QPixmap &pixmap() const { return _pixmap; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap _pixmap;
    qint64 _imageKey = 0;
};

// The mark on a row's picture telling how its last conversion ended: a check for a file
// written, a turning arrow for a file written from what the item no longer is, an
// exclamation mark for a failure; nothing otherwise. Drawn, not a picture file, so it
// follows the theme's colours. Mouse events pass through.
class vcOutcomeBadge : public QWidget {
    Q_OBJECT
public:
    vcOutcomeBadge(const QRectF &frame, QWidget *parent);
    // `outOfDate` only counts for Done.
    void setKind(vcJobOutcome::Kind kind, bool outOfDate = false);
    vcJobOutcome::Kind kind() const { return _kind; }
    bool outOfDate() const { return _outOfDate; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    vcJobOutcome::Kind _kind = vcJobOutcome::None;
    bool _outOfDate = false;
};

class vcTableCellWidget : public LXView, public vcTableCellViewDisplay, private LXButtonDelegate {
    Q_OBJECT
public:
    static constexpr double tableCellRowHgt = 58;

    // `width` is the list's column width; the row is tableCellRowHgt high.
    vcTableCellWidget(double width, QWidget *parent);
    ~vcTableCellWidget() override;

    // Shows this job from now on (null: none). The job reports its controls to the widget
    // until another job is set.
    void setJob(const vcTableCellViewPtr &job);
    const vcTableCellViewPtr &job() const { return _job; }

    // The pressed or the normal bar.
    void selectCurItem(bool selected);
    bool isSelectedRow() const { return _selected; }
    // Name, size, duration, format and picture from the job's item.
    void updateCell();
    // What a screen reader says of the row: its file, format and state
    // ("clip.mp4, MP4, converting 42 %"). A change is announced as the row's new name.
    QString accessibleRowName() const;
    static QString stateWords(vcJobState state, double progress);

    static QString resolutionStr(int width, int height);
    QString durationStr() const;
    QString totalDurationStr() const;
    // The format label's text: the extension without its dot ("mov"), else the container.
    static QString formatStr(const LXMediaInfo &item);
    // What the row's reveal button shows: the last output when one was named and exists,
    // else the source file.
    static QString revealTarget(const vcTableCellView &job);
    void selectFileInODFinder();

    // The controls, for the window and for tests.
    vcThumbView *orgThumbView() const { return _orgThumbView; }
    LXLabel *orgNameLabel() const { return _orgNameLabel; }
    LXView *fmtInfoBaseView() const { return _fmtInfoBaseView; }
    LXSliderA *prgSlider() const { return _prgSlider; }
    LXLabel *finishedLbl() const { return _finishedLbl; }
    LXButton *odBrowserBtn() const { return _odBrowserBtn; }
    LXButton *deleteItemBtn() const { return _deleteItemBtn; }
    LXButton *stopConvert() const { return _stopConvert; }
    QWidget *resolutionIcon() const { return _resolutionIcon; }
    LXLabel *resolutionLabel() const { return _resolutionLabel; }
    QWidget *durationIcon() const { return _durationIcon; }
    LXLabel *durationLabel() const { return _durationLabel; }
    QWidget *fmtIcon() const { return _fmtIcon; }
    LXLabel *fmtLabel() const { return _fmtLabel; }
    vcOutcomeBadge *outcomeBadge() const { return _outcomeBadge; }
    // The row's tool tip: the source, and how its last conversion ended (with the picture's
    // measured quality, and for an output made from what the item no longer is, that
    // Convert makes it again), or, before it converts, the expected size and time.
    static QString rowToolTip(const QString &source, const vcJobOutcome &outcome, bool outOfDate = false,
                              const SWConvertEstimate &estimate = {});
    // "Expected: about 12.3 MB in about 40 s"; "No estimate: why".
    static QString estimateText(const SWConvertEstimate &estimate);
    // "Quality (SSIM): 0.987 · PSNR: 41.2 dB"; empty when nothing was measured.
    static QString measuredText(const SWConvertResult &measured);
    static QString outOfDateText();

    // vcTableCellViewDisplay
    void rowControlsChanged(const vcRowControls &controls) override;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void drawContent(QPainter &painter, const QRect &dirty) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buttonUp(LXButton *button) override;
    void initODControls();
    void addFmtLogoTextInfoControl();
    void layoutFormatInfo(bool sourceIsVideo);
    // The badge and the tool tip for the job's last outcome, judged afresh against the item.
    void showOutcome(const vcRowControls &controls);

    vcTableCellViewPtr _job;
    bool _selected = false;
    bool _hovered = false;
    bool _layoutIsVideo = true;
    double _width;

    vcThumbView *_orgThumbView = nullptr;
    LXLabel *_orgNameLabel = nullptr;
    LXView *_fmtInfoBaseView = nullptr;
    LXSliderA *_prgSlider = nullptr;
    LXLabel *_finishedLbl = nullptr;
    LXButton *_odBrowserBtn = nullptr;
    LXButton *_deleteItemBtn = nullptr;
    LXButton *_stopConvert = nullptr;
    QWidget *_resolutionIcon = nullptr;
    LXLabel *_resolutionLabel = nullptr;
    QWidget *_durationIcon = nullptr;
    LXLabel *_durationLabel = nullptr;
    QWidget *_fmtIcon = nullptr;
    LXLabel *_fmtLabel = nullptr;
    vcOutcomeBadge *_outcomeBadge = nullptr;
    void announceName();
    QString _spokenName;
};
