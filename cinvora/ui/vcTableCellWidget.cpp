#include "vcTableCellWidget.h"
#include "vcTableView.h"

#include "ODTheme.h"
#include "vcCommon.h"
#include "vcOpenElsewhere.h"

#include <glazeform/LXAccessible.h>
#include <glazeform/LXCommon.h>
#include <glazeform/LXGeometry.h>
#include <glazeform/LXFocus.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXImageView.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXSlider.h>
#include <glazeform/LXStyle.h>

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

// A static label: no border, no background, not editable; clicks reach the row.
LXLabel *staticLabel(QWidget *parent, const QRectF &frame, qreal size, const QColor &color) {
    auto *l = new LXLabel(frame, parent);
    l->setTextFont(LXStyle::systemFont(size));
    l->setTextColor(color);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    return l;
}

// A small picture at its natural size, lower-left origin (x, y).
QLabel *icon(QWidget *parent, const QString &name, double x, double y) {
    auto *l = new QLabel(parent);
    const QPixmap p = LXImage::named(name);
    l->setPixmap(p);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    const QSizeF s = LXImage::pointSize(p);
    LXGeometry::place(l, QRectF(x, y, s.width(), s.height()));
    return l;
}

double iconWidth(const QString &name) { return LXImage::pointSize(LXImage::named(name)).width(); }

LXButton *rowButton(QWidget *parent, const QRectF &frame, const QString &normal, const QString &press,
                    const QString &tip, LXButtonDelegate *delegate) {
    auto *b = new LXButton(frame, parent);
    b->setImages(normal, press);
    b->setTextTitle(QString());
    b->setToolTip(tip);
    b->setDelegate(delegate);
    // The list is one stop for the keyboard; a row's own buttons have their keys there
    // (Delete) and would make Tab walk every row.
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

// The status has a narrow frame: its longest texts are set a little smaller rather than
// cut. Chosen once, so that a conversion's texts never change the face while it runs.
QFont statusFont(int labelWidth) {
    static int width = -1;
    static QFont font;
    if (width != labelWidth) {
        width = labelWidth;
        const QStringList longest = {vcTableCellView::waitingText(),
                                     vcTableCellView::leftTimeText(99 * 3600 * 1000000LL)};
        qreal px = 10;
        // (The label draws its text 3 points in from its right edge.)
        auto fits = [&](qreal size) {
            for (const QString &t : longest)
                if (LXStyle::textSize(LXStyle::systemFont(size), t).width() + 3 > labelWidth)
                    return false;
            return true;
        };
        while (px > 8 && !fits(px))
            px -= 1;
        font = LXStyle::systemFont(px);
    }
    return font;
}

} // namespace

// ---------------------------------------------------------------------------------------

vcThumbView::vcThumbView(const QRectF &frame, QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    LXGeometry::place(this, frame);
}

void vcThumbView::setImage(const QImage &image) {
    // Rows are rebound while the list scrolls: the scaled picture is made once per image.
    if (!image.isNull() && image.cacheKey() == _imageKey)
        return;
    _imageKey = image.isNull() ? 0 : image.cacheKey();
    if (image.isNull()) {
        _pixmap = QPixmap();
    } else {
        const qreal dpr = devicePixelRatioF();
        QImage scaled =
            image.scaled(QSize(int(width() * dpr), int(height() * dpr)), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        scaled.setDevicePixelRatio(dpr);
        _pixmap = QPixmap::fromImage(scaled);
    }
    update();
}

void vcThumbView::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF all(rect());
    QPainterPath frame;
    frame.addRoundedRect(all.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.fillPath(frame, QColor(0, 0, 0));
    if (!_pixmap.isNull()) {
        const QSizeF s = LXImage::pointSize(_pixmap);
        const QRectF target((width() - s.width()) / 2, (height() - s.height()) / 2, s.width(), s.height());
        p.save();
        p.setClipPath(frame);
        p.drawPixmap(target, _pixmap, QRectF(_pixmap.rect()));
        p.restore();
    }
    p.setPen(QPen(QColor(255, 255, 255, 22), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(frame);
}

// ---------------------------------------------------------------------------------------

vcOutcomeBadge::vcOutcomeBadge(const QRectF &frame, QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("outcomeBadge"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    LXGeometry::place(this, frame);
    hide();
}

void vcOutcomeBadge::setKind(vcJobOutcome::Kind kind, bool outOfDate) {
    _kind = kind;
    _outOfDate = kind == vcJobOutcome::Done && outOfDate;
    const bool shown = kind == vcJobOutcome::Done || kind == vcJobOutcome::Failed;
    QString name;
    if (_outOfDate)
        name = QCoreApplication::translate("vcOutcomeBadge", "changed since converted");
    else if (kind == vcJobOutcome::Done)
        name = QCoreApplication::translate("vcOutcomeBadge", "done");
    else if (shown)
        name = QCoreApplication::translate("vcOutcomeBadge", "failed");
    setAccessibleName(name);
    setVisible(shown);
    update();
}

void vcOutcomeBadge::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    const bool done = _kind == vcJobOutcome::Done;
    p.setPen(QPen(QColor(0, 0, 0, 160), 1.5));
    p.setBrush(_outOfDate ? QColor(0xe0, 0x9a, 0x1e) : done ? QColor(0x3c, 0xb3, 0x71) : odtheme::danger());
    p.drawEllipse(r);
    QPen mark(Qt::white, std::max(1.6, r.width() / 8), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(mark);
    p.setBrush(Qt::NoBrush);
    const double w = r.width(), h = r.height(), x = r.x(), y = r.y();
    if (_outOfDate) {
        // A turning arrow: made once, to be made again.
        const QRectF ring(x + w * 0.27, y + h * 0.27, w * 0.46, h * 0.46);
        p.drawArc(ring, 100 * 16, 280 * 16);
        const QPointF tip(ring.center().x() - ring.width() * 0.09, ring.top());
        const QPointF pts[] = {{tip.x() - w * 0.13, tip.y() - h * 0.10}, tip, {tip.x() - w * 0.11, tip.y() + h * 0.13}};
        p.drawPolyline(pts, 3);
    } else if (done) {
        const QPointF pts[] = {
            {x + w * 0.27, y + h * 0.52}, {x + w * 0.44, y + h * 0.69}, {x + w * 0.74, y + h * 0.33}};
        p.drawPolyline(pts, 3);
    } else {
        p.drawLine(QPointF(x + w / 2, y + h * 0.26), QPointF(x + w / 2, y + h * 0.56));
        p.drawPoint(QPointF(x + w / 2, y + h * 0.74));
    }
}

// ---------------------------------------------------------------------------------------

vcTableCellWidget::vcTableCellWidget(double width, QWidget *parent) : LXView(parent), _width(width) {
    resize(int(width), int(tableCellRowHgt));
    setAcceptDrops(true);
    setMouseTracking(true);
    initODControls();
    selectCurItem(false);
}

vcTableCellWidget::~vcTableCellWidget() {
    if (_job)
        _job->setDisplay(nullptr);
}

void vcTableCellWidget::initODControls() {
    _orgThumbView = new vcThumbView(QRectF(10, 5, 78, 50), this);
    // On the picture's lower right corner, where it is seen at a glance down the list.
    _outcomeBadge = new vcOutcomeBadge(QRectF(74, 2, 18, 18), this);
    _orgNameLabel = staticLabel(this, QRectF(96, 36, 276, 18), 13, odtheme::text());
    _orgNameLabel->setBUseDot(true);
    // The info line's own arithmetic puts its last label at x = 177 and 60 wide: the area
    // reaches as far as the progress bar, so that nothing of it is cut off.
    _fmtInfoBaseView = new LXView(QRectF(96, 5, 276, 20), this);
    _fmtInfoBaseView->setAttribute(Qt::WA_TransparentForMouseEvents);
    addFmtLogoTextInfoControl();

    _prgSlider = new LXSliderA(QRectF(96, 16, 276, 12), this);
    _prgSlider->setAttribute(Qt::WA_TransparentForMouseEvents);
    _prgSlider->setBEnabled(true);
    _prgSlider->setBExtentMidSkin(false);
    _prgSlider->setNSpace(2.0);
    _prgSlider->setSlideType(0);
    _prgSlider->setProgressImage(LXImage::named(QStringLiteral("ODPrgMiddleBg.png")));
    _prgSlider->setProgressLeftImage(LXImage::named(QStringLiteral("ODPrgLeftBg.png")));
    _prgSlider->setProgressRightImage(LXImage::named(QStringLiteral("ODPrgRightBg.png")));
    _prgSlider->setSubProgressLeftImage(LXImage::named(QStringLiteral("ODPrgLeftFg.png")));
    _prgSlider->setSubProgressImage(LXImage::named(QStringLiteral("ODPrgMiddleFg.png")));
    _prgSlider->setSubProgressRightImage(LXImage::named(QStringLiteral("ODPrgRightFg.png")));
    _prgSlider->initImagePosition();
    _prgSlider->setSliderPos(0);
    _prgSlider->hide();

    _finishedLbl = staticLabel(this, QRectF(300, 1, 100, 13), 10, odtheme::textSoft());
    _finishedLbl->setTextFont(statusFont(_finishedLbl->width()));
    _finishedLbl->setTextAlignment(LXLabel::AlignRight);
    _finishedLbl->hide();

    _odBrowserBtn = rowButton(this, QRectF(380, 33, 24, 16), QStringLiteral("ODCellBrowserNormal.png"),
                              QStringLiteral("ODCellBrowserPress.png"),
                              QCoreApplication::translate("vcTableCellWidget", "Show in Folder"), this);
    _odBrowserBtn->setAccessibleName(_odBrowserBtn->toolTip());
    const QSizeF trash = LXImage::pointSize(LXImage::named(QStringLiteral("ODTrashNormal.png")));
    _deleteItemBtn = rowButton(this, QRectF(388, 15, trash.width(), trash.height()),
                               QStringLiteral("ODTrashNormal.png"), QStringLiteral("ODTrashPress.png"),
                               QCoreApplication::translate("vcTableCellWidget", "delete current item"), this);
    _stopConvert =
        rowButton(this, QRectF(384, 15, 16, 16), QStringLiteral("ODStopNormal.png"), QStringLiteral("ODStopPress.png"),
                  QCoreApplication::translate("vcTableCellWidget", "stop convert"), this);
    _stopConvert->hide();
}

namespace {
// The info labels are 60 points wide; "1920*1080" fits them in a slightly narrowed face.
QFont infoFont() {
    QFont f = LXStyle::systemFont(10);
    f.setStretch(QFont::SemiCondensed);
    return f;
}
} // namespace

void vcTableCellWidget::addFmtLogoTextInfoControl() {
    QWidget *base = _fmtInfoBaseView;
    _resolutionIcon = icon(base, QStringLiteral("ODDetailResolution.png"), 5, 6);
    _resolutionLabel = staticLabel(base, QRectF(0, 2, 60, 15), 11, odtheme::textSoft());
    _resolutionLabel->setTextFont(infoFont());
    _resolutionLabel->setTextTitle(QStringLiteral("800*600"));
    _durationIcon = icon(base, QStringLiteral("ODDetailTime.png"), 5, 6);
    _durationLabel = staticLabel(base, QRectF(0, 2, 60, 15), 11, odtheme::textSoft());
    _durationLabel->setTextFont(infoFont());
    _durationLabel->setTextTitle(QStringLiteral("00:00:00"));
    _fmtIcon = icon(base, QStringLiteral("ODDetailFmt.png"), 5, 6);
    _fmtLabel = staticLabel(base, QRectF(0, 2, 60, 15), 11, odtheme::textSoft());
    _fmtLabel->setTextFont(infoFont());
    layoutFormatInfo(true);
}

void vcTableCellWidget::layoutFormatInfo(bool video) {
    _layoutIsVideo = video;
    const double resW = iconWidth(QStringLiteral("ODDetailResolution.png"));
    const double timeW = iconWidth(QStringLiteral("ODDetailTime.png"));
    const double fmtW = iconWidth(QStringLiteral("ODDetailFmt.png"));
    auto move = [](QWidget *w, double x, double y) {
        const QRectF f = LXGeometry::frameOf(w);
        LXGeometry::place(w, QRectF(x, y, f.width(), f.height()));
    };
    _resolutionIcon->setVisible(video);
    _resolutionLabel->setVisible(video);
    move(_resolutionLabel, resW + 7, 2);
    const double durationX = video ? resW + 5 + 2 + 60 + 2 : 5;
    move(_durationIcon, durationX, 6);
    const double durationLabelX = durationX + timeW + 2;
    move(_durationLabel, durationLabelX, 2);
    const double fmtX = durationLabelX + 60 + 2;
    move(_fmtIcon, fmtX, 6);
    move(_fmtLabel, fmtX + fmtW + 2, 2);
}

void vcTableCellWidget::setJob(const vcTableCellViewPtr &job) {
    if (job == _job)
        return;
    if (_job)
        _job->setDisplay(nullptr);
    _job = job;
    _hovered = false;
    if (!_job)
        return;
    updateCell();
    // Attaching reports the job's current controls at once.
    _job->setDisplay(this);
}

void vcTableCellWidget::selectCurItem(bool selected) {
    _selected = selected;
    setBackGroundImage(
        LXImage::named(selected ? QStringLiteral("ODCellBarPress.png") : QStringLiteral("ODCellBarNormal.png")));
    // What the bar shows, for the widget report and for screen readers.
    setProperty("selected", selected);
    setAccessibleDescription(selected ? QCoreApplication::translate("vcTableCellWidget", "Selected") : QString());
    update();
}

QString vcTableCellWidget::resolutionStr(int width, int height) {
    return QString::asprintf("%d%s%d", width, "*", height);
}

QString vcTableCellWidget::durationStr() const {
    const LXMediaInfoPtr item = _job ? _job->editMovie() : nullptr;
    return item ? LXCommon::drawTimeDescStr(item->trackEnd() - item->trackStart()) : QString();
}

QString vcTableCellWidget::totalDurationStr() const {
    const LXMediaInfoPtr item = _job ? _job->editMovie() : nullptr;
    return item ? LXCommon::drawTimeDescStr(item->totalDuration()) : QString();
}

QString vcTableCellWidget::formatStr(const LXMediaInfo &item) {
    const QString ext = item.outputExt();
    if (!ext.isEmpty())
        return ext.startsWith('.') ? ext.mid(1) : ext;
    return item.outputFormat();
}

void vcTableCellWidget::updateCell() {
    const LXMediaInfoPtr item = _job ? _job->editMovie() : nullptr;
    if (!item)
        return;
    const QString name = QFileInfo(item->fileName()).fileName();
    _orgNameLabel->setTextTitle(name);
    _orgNameLabel->setToolTip(name);
    showOutcome(_job->controls());
    if (item->bSourceIsVideo() != _layoutIsVideo)
        layoutFormatInfo(item->bSourceIsVideo());
    _resolutionLabel->setTextTitle(resolutionStr(int(item->width()), int(item->height())));
    _durationLabel->setTextTitle(durationStr());
    _fmtLabel->setTextTitle(formatStr(*item));
    _orgThumbView->setImage(item->thumbNailImage());
    announceName();
}

QString vcTableCellWidget::stateWords(vcJobState state, double progress) {
    switch (state) {
    case vcJobState::Waiting:
        return QCoreApplication::translate("vcTableCellWidget", "waiting");
    case vcJobState::Converting:
        return QCoreApplication::translate("vcTableCellWidget", "converting %1 %")
            .arg(std::lround(std::clamp(progress, 0.0, 1.0) * 100));
    case vcJobState::Paused:
        return QCoreApplication::translate("vcTableCellWidget", "paused");
    case vcJobState::Finished:
        return QCoreApplication::translate("vcTableCellWidget", "converted");
    case vcJobState::Failed:
        return QCoreApplication::translate("vcTableCellWidget", "failed");
    case vcJobState::Cancelled:
        return QCoreApplication::translate("vcTableCellWidget", "stopped");
    case vcJobState::Idle:
        break;
    }
    return {};
}

QString vcTableCellWidget::accessibleRowName() const {
    const LXMediaInfoPtr item = _job ? _job->editMovie() : nullptr;
    if (!item)
        return {};
    QStringList parts{QFileInfo(item->fileName()).fileName(), formatStr(*item).toUpper()};
    if (const QString words = stateWords(_job->state(), _job->controls().progress); !words.isEmpty())
        parts << words;
    return parts.join(QStringLiteral(", "));
}

void vcTableCellWidget::announceName() {
    const QString name = accessibleRowName();
    if (name == _spokenName)
        return;
    _spokenName = name;
    LXAccessible::nameChanged(this);
}

QString vcTableCellWidget::revealTarget(const vcTableCellView &job) {
    const QString out = job.outputFile();
    if (!out.isEmpty() && QFileInfo::exists(out))
        return out;
    const LXMediaInfoPtr item = job.editMovie();
    return item ? item->fileName() : QString();
}

void vcTableCellWidget::selectFileInODFinder() {
    if (!_job)
        return;
    const QString target = revealTarget(*_job);
    if (!target.isEmpty())
        vcOpenElsewhere::showInFolder(this, target);
}

QString vcTableCellWidget::outOfDateText() {
    return QCoreApplication::translate("vcTableCellWidget", "Changed since converted: Convert makes it again");
}

void vcTableCellWidget::showOutcome(const vcRowControls &controls) {
    const vcJobOutcome &outcome = controls.outcome;
    const bool outOfDate = outcome.kind == vcJobOutcome::Done && _job && _job->outputOutOfDate();
    _outcomeBadge->setKind(outcome.kind, outOfDate);
    if (const LXMediaInfoPtr item = _job ? _job->editMovie() : nullptr)
        setToolTip(rowToolTip(item->fileName(), outcome, outOfDate, controls.estimate));
}

QString vcTableCellWidget::estimateText(const SWConvertEstimate &e) {
    if (!e.valid())
        return e.error.isEmpty() ? QString()
                                 : QCoreApplication::translate("vcTableCellWidget", "No estimate: %1").arg(e.error);
    const QString size = QLocale().formattedDataSize(e.bytes, 1, QLocale::DataSizeSIFormat);
    const int64_t s = std::max<int64_t>(1, std::llround(e.seconds));
    const QString time =
        s < 60     ? QCoreApplication::translate("vcTableCellWidget", "%1 s").arg(s)
        : s < 3600 ? QCoreApplication::translate("vcTableCellWidget", "%1 min %2 s").arg(s / 60).arg(s % 60)
                   : QCoreApplication::translate("vcTableCellWidget", "%1 h %2 min").arg(s / 3600).arg((s % 3600) / 60);
    return QCoreApplication::translate("vcTableCellWidget", "Expected: about %1 in about %2").arg(size, time);
}

QString vcTableCellWidget::measuredText(const SWConvertResult &m) {
    if (!m.ssim)
        return {};
    QString text =
        QCoreApplication::translate("vcTableCellWidget", "Quality (SSIM): %1").arg(QLocale().toString(*m.ssim, 'f', 3));
    if (m.psnrDb)
        text +=
            QStringLiteral(" \u00b7 ") +
            QCoreApplication::translate("vcTableCellWidget", "PSNR: %1 dB").arg(QLocale().toString(*m.psnrDb, 'f', 1));
    return text;
}

QString vcTableCellWidget::rowToolTip(const QString &source, const vcJobOutcome &outcome, bool outOfDate,
                                      const SWConvertEstimate &estimate) {
    const auto line = [](const QString &text) { return text.isEmpty() ? QString() : QLatin1Char('\n') + text; };
    switch (outcome.kind) {
    case vcJobOutcome::Done:
        return QCoreApplication::translate("vcTableCellWidget", "%1\nConverted to %2")
                   .arg(source, QFileInfo(outcome.outputFile).fileName()) +
               line(measuredText(outcome.measured)) + line(outcome.note) +
               (outOfDate ? line(outOfDateText()) : QString());
    case vcJobOutcome::Failed:
        return QCoreApplication::translate("vcTableCellWidget", "%1\nFailed: %2").arg(source, outcome.reason);
    case vcJobOutcome::Cancelled:
        return QStringLiteral("%1\n%2").arg(source, vcTableCellView::stoppedText()) + line(estimateText(estimate));
    default:
        return source + line(estimateText(estimate));
    }
}

void vcTableCellWidget::rowControlsChanged(const vcRowControls &c) {
    showOutcome(c);
    _finishedLbl->setTextTitle(c.statusText);
    _finishedLbl->setTextColor(c.outcome.kind == vcJobOutcome::Failed ? odtheme::danger() : odtheme::textSoft());
    _finishedLbl->setVisible(c.statusVisible);
    _prgSlider->setVisible(c.progressVisible);
    _prgSlider->setSliderPos(std::clamp(c.progress, 0.0, 1.0));
    _stopConvert->setVisible(c.stopVisible);
    _deleteItemBtn->setVisible(c.deleteVisible);
    _fmtInfoBaseView->setVisible(c.fmtInfoVisible);
    announceName();
}

void vcTableCellWidget::buttonUp(LXButton *button) {
    // The row may be unbound (or its job removed) by what the delegate does: keep the job.
    const vcTableCellViewPtr job = _job;
    if (!job)
        return;
    if (button == _stopConvert) {
        if (auto *d = job->tbCellDelegate())
            d->convertSessionUpdateState(vcJobEvent::Stop);
        job->stopConvert();
    } else if (button == _odBrowserBtn) {
        selectFileInODFinder();
    } else if (button == _deleteItemBtn) {
        job->deleteItem();
    }
}

void vcTableCellWidget::mousePressEvent(QMouseEvent *event) {
    event->accept();
    LXCommon::popupDownMenu();
    if (event->button() != Qt::LeftButton || !_job)
        return;
    const Qt::KeyboardModifiers mods = event->modifiers();
    const vcSelectMode mode = mods & Qt::ShiftModifier     ? vcSelectMode::Extend
                              : mods & Qt::ControlModifier ? vcSelectMode::Toggle
                                                           : vcSelectMode::Only;
    if (auto *d = _job->tbCellDelegate())
        d->selectRowWithMode(_job.get(), mode);
}

void vcTableCellWidget::mouseDoubleClickEvent(QMouseEvent *event) {
    // Quick Ctrl or Shift clicks pick rows; they do not play one.
    if (event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)) {
        mousePressEvent(event);
        return;
    }
    event->accept();
    if (event->button() != Qt::LeftButton || !_job)
        return;
    if (auto *d = _job->tbCellDelegate())
        d->doubleClickItem(_job->idx());
}

void vcTableCellWidget::enterEvent(QEnterEvent *) {
    _hovered = true;
    update();
}

void vcTableCellWidget::leaveEvent(QEvent *) {
    _hovered = false;
    update();
}

void vcTableCellWidget::drawContent(QPainter &painter, const QRect &) {
    if (_hovered && !_selected)
        painter.fillRect(QRectF(0, 0, width(), height() - 1), QColor(255, 255, 255, 9));
    QWidget *p = parentWidget();
    while (p && !qobject_cast<vcTableView *>(p))
        p = p->parentWidget();
    if (auto *table = static_cast<vcTableView *>(p); table && table->showsFocusRingFor(_job.get()))
        LXFocus::drawRing(painter, table, QRectF(1, 1, width() - 2, height() - 2));
}

void vcTableCellWidget::dragEnterEvent(QDragEnterEvent *event) {
    if (event->source() != this && !LXImageView::filePaths(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void vcTableCellWidget::dragMoveEvent(QDragMoveEvent *event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void vcTableCellWidget::dropEvent(QDropEvent *event) {
    const QStringList paths = LXImageView::filePaths(event->mimeData());
    if (paths.isEmpty() || !_job) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (auto *d = _job->tbCellDelegate())
        d->concludeDragFile(paths);
}
