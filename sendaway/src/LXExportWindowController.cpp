#include "sendaway/LXExportWindowController.h"

#include "sendaway/LXProgressIndicator.h"

#include <foundation/Alerts.h>
#include <foundation/Reveal.h>
#include <foundation/Strings.h>

#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXImageView.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXStyle.h>

#include <QLocale>
#include <QApplication>
#include <QCloseEvent>
#include <QHash>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <mutex>
#include <utility>

namespace {

// The sheet's measures (points). Tall layout: emblem on the left, status, bar and time
// text beside it, the buttons along the bottom.
constexpr double kSheetW = 460, kSheetH = 150;
constexpr double kMargin = 24;
constexpr double kEmblem = 48;
constexpr double kButtonW = 116, kButtonH = 28, kButtonGap = 10;
// A label draws its text 6 points in from its left edge.
constexpr double kLabelInset = 6;
// Pages lower than this get the compact layout: no emblem, the button beside the bar.
constexpr double kCompactBelow = 120;

const QColor kText(0xe6, 0xe9, 0xed);
const QColor kSoftText(0x8f, 0x98, 0xa3);
const QColor kAccentText(0x38, 0xc0, 0xf5);
const QColor kBorder(0x42, 0x49, 0x53);

struct Registry {
    std::mutex lock;
    QHash<QString, LXExportWindowController::Factory> factories;
};
Registry &registry() {
    static Registry r;
    return r;
}

LXLabel *makeLabel(QWidget *parent, const QFont &font, const QColor &color) {
    auto *l = new LXLabel(parent);
    l->setTextFont(font);
    l->setTextColor(color);
    l->setBUseDot(true);
    return l;
}

LXButton *makeButton(QWidget *parent, bool isDefault) {
    auto *b = new LXButton(parent);
    if (isDefault)
        b->setImages(QStringLiteral("ExportDefaultButtonNormal.png"), QStringLiteral("ExportDefaultButtonPress.png"));
    else
        b->setImages(QStringLiteral("ExportButtonNormal.png"), QStringLiteral("ExportButtonPress.png"));
    b->setTextFont(LXStyle::systemFont(13));
    b->setTextNormalColor(kText);
    b->setTextPressColor(isDefault ? QColor(Qt::white) : kAccentText);
    b->setBShadowText(isDefault);
    b->setTextShadowColor(QColor(0, 0, 0, 90));
    b->setYOffSet(-1);
    b->setTextTitle(QString());
    return b;
}

} // namespace

// ---------------------------------------------------------------------------------------
// Creation and window classes.

LXExportWindowController::LXExportWindowController(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("LXExportWindowController"));
    setWindowTitle(tr("Export"));
    setModal(false);
}

LXExportWindowController *LXExportWindowController::shareWindowController() {
    auto *w = new LXExportWindowController;
    w->loadWindow();
    return w;
}

void LXExportWindowController::registerWindowClass(const QString &className, Factory factory) {
    Registry &r = registry();
    std::lock_guard l(r.lock);
    if (factory)
        r.factories.insert(className, std::move(factory));
    else
        r.factories.remove(className);
}

bool LXExportWindowController::hasWindowClass(const QString &className) {
    Registry &r = registry();
    std::lock_guard l(r.lock);
    return r.factories.contains(className);
}

LXExportWindowController *LXExportWindowController::shareWindowControllerOfClass(const QString &className) {
    Factory factory;
    {
        Registry &r = registry();
        std::lock_guard l(r.lock);
        factory = r.factories.value(className);
    }
    return factory ? factory() : nullptr;
}

LX_REGISTER_EXPORT_WINDOW(LXExportWindowController)

// ---------------------------------------------------------------------------------------
// Layout and texts.

QString LXExportWindowController::windowNibName() const { return QStringLiteral("MovieBuildingWin"); }

void LXExportWindowController::loadWindow() {
    if (_windowLoaded)
        return;
    _windowLoaded = true;
    loadWindowNamed(windowNibName());
    windowDidLoad();
}

void LXExportWindowController::loadWindowNamed(const QString &nibName) {
    (void)nibName;
    setFixedSize(int(kSheetW), int(kSheetH));
    buildProgressControls(this);
}

void LXExportWindowController::windowDidLoad() { initLanguage(); }

QString LXExportWindowController::emblemName() const { return QStringLiteral("ExportMovieEmblem.png"); }

void LXExportWindowController::setEmblem(const QString &pictureName) {
    if (_emblemView)
        _emblemView->setImage(LXImage::named(pictureName));
}

void LXExportWindowController::buildProgressControls(QWidget *page) {
    const double W = page->width() > 0 ? page->width() : kSheetW;
    const double H = page->height() > 0 ? page->height() : kSheetH;
    _progressText = makeLabel(page, LXStyle::boldSystemFont(14), kText);
    _leaveTimeTip = makeLabel(page, LXStyle::systemFont(12), kSoftText);
    _percentText = makeLabel(page, LXStyle::systemFont(12), kSoftText);
    _percentText->setTextAlignment(LXLabel::AlignRight);
    _percentText->setBUseDot(false);
    _progressIndicator = new LXProgressIndicator(page);
    _progressIndicator->setMinValue(0);
    _progressIndicator->setMaxValue(100);
    _cancelButton = makeButton(page, false);
    _closeButton = makeButton(page, false);
    _browseButton = makeButton(page, true);
    for (LXButton *b : {_cancelButton, _closeButton, _browseButton})
        b->setDelegate(this);

    const QRectF right(W - kMargin - kButtonW, 0, kButtonW, kButtonH);
    if (H >= kCompactBelow) {
        _emblemView = new LXImageView(QRectF(kMargin - 2, H - kMargin - kEmblem + 2, kEmblem, kEmblem), page);
        _emblemView->setAttribute(Qt::WA_TransparentForMouseEvents);
        const double x = kMargin + kEmblem + 16;
        const double w = W - x - kMargin;
        LXGeometry::place(_progressText, QRectF(x - kLabelInset, H - kMargin - 20, w - 44, 20));
        LXGeometry::place(_percentText, QRectF(W - kMargin - 48, H - kMargin - 20, 48, 20));
        LXGeometry::place(_progressIndicator, QRectF(x, H - kMargin - 42, w, 10));
        LXGeometry::place(_leaveTimeTip, QRectF(x - kLabelInset, H - kMargin - 66, w + kLabelInset, 18));
        // The bottom row: the right slot holds cancel (and close); browse waits in the left
        // slot and trades places with close when the export has finished.
        const QRectF r = right.translated(0, 16);
        LXGeometry::place(_cancelButton, r);
        LXGeometry::place(_closeButton, r);
        LXGeometry::place(_browseButton, r.translated(-(kButtonW + kButtonGap), 0));
    } else {
        const double w = W - 2 * kMargin - kButtonW - 16;
        LXGeometry::place(_progressText, QRectF(kMargin - kLabelInset, H - 18 - 20, w - 44, 20));
        LXGeometry::place(_percentText, QRectF(kMargin + w - 48, H - 18 - 20, 48, 20));
        LXGeometry::place(_progressIndicator, QRectF(kMargin, H - 18 - 38, w, 10));
        LXGeometry::place(_leaveTimeTip, QRectF(kMargin - kLabelInset, H - 18 - 60, w + kLabelInset, 18));
        const QRectF r = right.translated(0, (H - kButtonH) / 2);
        LXGeometry::place(_cancelButton, r);
        LXGeometry::place(_closeButton, r);
        LXGeometry::place(_browseButton, r.translated(-(kButtonW + kButtonGap), 0));
    }
    _browseButton->hide();
    _closeButton->hide();
    setEmblem(emblemName());
}

QString LXExportWindowController::localizedString(const QString &key, const QString &fallback) {
    return foundation::tr_(key, fallback);
}

QString LXExportWindowController::formatString(const QString &format, const QStringList &args) {
    QString out;
    out.reserve(format.size() + 16);
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'%' && i + 1 < format.size()) {
            const QChar k = format.at(i + 1);
            if (k == u'@' || k == u'd') {
                if (next < args.size())
                    out += args.at(next);
                ++next;
                ++i;
                continue;
            }
            if (k == u'%') {
                out += u'%';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

void LXExportWindowController::initLanguage() {
    if (_cancelButton)
        _cancelButton->setTextTitle(localizedString(QStringLiteral("Lan_Cancel"), QStringLiteral("Login.")));
    if (_progressText)
        _progressText->setTextTitle(
            localizedString(QStringLiteral("Lan_Building_Movie"), QStringLiteral("Building Movie.")));
    if (_browseButton)
        _browseButton->setTextTitle(localizedString(QStringLiteral("Lan_Browse"), QStringLiteral("Browser Movie.")));
    if (_closeButton)
        _closeButton->setTextTitle(localizedString(QStringLiteral("Lan_Close"), QStringLiteral("Close.")));
    if (_leaveTimeTip)
        _leaveTimeTip->setTextTitle(QString());
}

// ---------------------------------------------------------------------------------------
// Showing and closing.

void LXExportWindowController::beginSheet(QWidget *parentWindow) {
    loadWindow();
    QWidget *top = parentWindow ? parentWindow->window() : nullptr;
    if (top && parentWidget() != top)
        setParent(top, windowFlags());
    setWindowModality(top ? Qt::WindowModal : Qt::ApplicationModal);
    _closedSignalled = false;
    if (_exportState == ExportState::Closed)
        _exportState = ExportState::Idle;
    // A sheet hangs from the top edge of its window, centred.
    if (top) {
        const QPoint origin = top->mapToGlobal(QPoint(0, 0));
        move(origin.x() + (top->width() - width()) / 2, origin.y());
    }
    show();
    raise();
    activateWindow();
}

void LXExportWindowController::orderOutSheet() { hide(); }

void LXExportWindowController::closeWindow() {
    _exportFormat.clear();
    _exportFilePath.clear();
    setExportState(ExportState::Closed);
    if (isVisible())
        done(QDialog::Rejected);
    hide();
    if (!_closedSignalled) {
        _closedSignalled = true;
        emit exportWindowClosed();
    }
}

void LXExportWindowController::setExportState(ExportState state) { _exportState = state; }

// ---------------------------------------------------------------------------------------
// What the owner reports.

void LXExportWindowController::enableCancelButton() {
    if (_cancelButton)
        _cancelButton->setBEnabled(true);
}

void LXExportWindowController::conversionStarted() {
    if (_exportState == ExportState::Closed)
        return;
    setExportState(ExportState::Converting);
    setEmblem(emblemName());
    exportAtPercent(0);
    if (_percentText)
        _percentText->show();
}

void LXExportWindowController::exportAtPercent(double percent) {
    if (!_progressIndicator)
        return;
    _progressIndicator->setDoubleValue(percent);
    if (_percentText)
        _percentText->setTextTitle(QStringLiteral("%1%").arg(int(_progressIndicator->doubleValue())));
}

QString LXExportWindowController::timeToFormatString(int64_t seconds) {
    const int64_t s = std::max<int64_t>(0, seconds);
    const int64_t h = s / 3600, m = (s / 60) % 60, sec = s % 60;
    if (h != 0)
        return QStringLiteral("%1:%2:%3(s)").arg(h).arg(m).arg(sec);
    if (m != 0)
        return QStringLiteral("%1:%2(s)").arg(m).arg(sec);
    return QStringLiteral("%1(s)").arg(sec);
}

void LXExportWindowController::exportTimePastAndLeave(double pastSeconds, double leaveSeconds) {
    if (!_leaveTimeTip)
        return;
    auto whole = [](double s) {
        if (!std::isfinite(s) || s < 0)
            return int64_t(0);
        return int64_t(std::min(s, 1e12));
    };
    const QString format = localizedString(QStringLiteral("Lan_TimeNeed"), QStringLiteral("%@ past, about %@"));
    _leaveTimeTip->setTextTitle(
        formatString(format, {timeToFormatString(whole(pastSeconds)), timeToFormatString(whole(leaveSeconds))}));
}

void LXExportWindowController::finishedConvert(const QString &path) { (void)path; }

void LXExportWindowController::canceledConvert() { closeWindow(); }

void LXExportWindowController::failedConvert(const QString &reason) {
    if (_exportState == ExportState::Closed)
        return;
    setExportState(ExportState::Failed);
    setEmblem(QStringLiteral("ExportFailedEmblem.png"));
    if (_progressText)
        _progressText->setTextTitle(
            localizedString(QStringLiteral("Lan_Export_Failed"), QStringLiteral("The export failed.")));
    // The reason takes the bar's place: there is no progress left to show.
    if (_progressIndicator)
        _progressIndicator->hide();
    if (_percentText)
        _percentText->hide();
    if (_leaveTimeTip) {
        if (_progressIndicator) {
            const QRectF bar = LXGeometry::frameOf(_progressIndicator);
            const QRectF tip = LXGeometry::frameOf(_leaveTimeTip);
            LXGeometry::place(_leaveTimeTip,
                              QRectF(tip.x(), bar.center().y() - tip.height() / 2, tip.width(), tip.height()));
        }
        _leaveTimeTip->setTextTitle(reason);
        _leaveTimeTip->setToolTip(reason);
        _leaveTimeTip->show();
    }
    if (_cancelButton)
        _cancelButton->hide();
    if (_browseButton)
        _browseButton->hide();
    if (_closeButton) {
        _closeButton->setTextTitle(localizedString(QStringLiteral("Lan_Close"), QStringLiteral("Close.")));
        _closeButton->show();
    }
}

void LXExportWindowController::turnToFinishedState(std::optional<double> measuredSsim) {
    if (_exportState == ExportState::Closed)
        return;
    if (!_browseButton || !_closeButton)
        return;
    setExportState(ExportState::Finished);
    const QRectF browseFrame = LXGeometry::frameOf(_browseButton);
    const QRectF closeFrame = LXGeometry::frameOf(_closeButton);
    LXGeometry::place(_browseButton, closeFrame);
    LXGeometry::place(_closeButton, browseFrame);
    _browseButton->show();
    _closeButton->show();
    _closeButton->setTextTitle(localizedString(QStringLiteral("Lan_Later"), QStringLiteral("Later")));
    if (_cancelButton)
        _cancelButton->hide();
    if (_progressText)
        _progressText->setTextTitle(tr("Export successfully"));
    if (_leaveTimeTip && measuredSsim) {
        _leaveTimeTip->setTextTitle(tr("Quality (SSIM): %1").arg(QLocale().toString(*measuredSsim, 'f', 3)));
        _leaveTimeTip->show();
    } else if (_leaveTimeTip) {
        _leaveTimeTip->hide();
    }
    exportAtPercent(100);
    if (_percentText)
        _percentText->hide();
    setEmblem(QStringLiteral("ExportDoneEmblem.png"));
}

void LXExportWindowController::showBrowser(const QString &path) {
    foundation::AlertRequest request;
    request.title = localizedString(QStringLiteral("Lan_Succeed_movie"), QStringLiteral("Succeed Movie."));
    request.defaultButton = localizedString(QStringLiteral("Lan_Browse"), QStringLiteral("Browser Movie."));
    request.alternateButton = localizedString(QStringLiteral("Lan_Later"), QStringLiteral("Later."));
    request.message = localizedString(QStringLiteral("Lan_BrowserTip"), QStringLiteral("Browser Tip."));
    QWidget *over = QApplication::activeWindow();
    if (!over && _parrentWin)
        over = _parrentWin->window();
    foundation::Alerts::showSheet(over, request, [path](foundation::AlertButton b) {
        if (b == foundation::AlertButton::Default)
            foundation::Reveal::showInFileManager(path);
    });
}

// ---------------------------------------------------------------------------------------
// Buttons.

void LXExportWindowController::cancelExport(LXButton *sender) {
    // One question at a time, and only while there is a conversion to cancel.
    if (_exportState != ExportState::Converting)
        return;
    if (sender)
        sender->setBEnabled(false);
    foundation::AlertRequest request;
    request.title = localizedString(QStringLiteral("Lan_build_Movie"), QStringLiteral("Build Movie."));
    request.defaultButton = localizedString(QStringLiteral("Lan_Yes"), QStringLiteral("Yes."));
    request.alternateButton = localizedString(QStringLiteral("Lan_No"), QStringLiteral("No."));
    request.message = localizedString(QStringLiteral("Lan_CancelTip"),
                                      QStringLiteral("Choose 'Yes' will terminate the movie building."));
    // Yes ends the export and deletes what it wrote: a dismissed question must not.
    request.escapeButton = foundation::AlertButton::Alternate;
    setExportState(ExportState::Confirming);
    if (_exportWinDelegate)
        _exportWinDelegate->pauseExport(this);
    QPointer<LXExportWindowController> self(this);
    QPointer<LXButton> button(sender);
    foundation::Alerts::showSheet(this, request, [self, button](foundation::AlertButton b) {
        if (self)
            self->sheetDidEnd(b == foundation::AlertButton::Default, button);
    });
    if (button)
        button->setBEnabled(true);
}

bool LXExportWindowController::holdHandOffWhileConfirming(const QString &path) {
    if (_exportState != ExportState::Confirming)
        return false;
    _heldHandOff = path;
    return true;
}

void LXExportWindowController::sheetDidEnd(bool cancelChosen, LXButton *sender) {
    (void)sender;
    // The export may have ended while the question was open; then the answer changes nothing.
    if (_exportState != ExportState::Confirming)
        return;
    const QString held = std::exchange(_heldHandOff, QString());
    if (cancelChosen) {
        // With a held hand-off nothing runs any more: the owner closes the window as cancelled.
        setExportState(ExportState::Cancelling);
        if (_exportWinDelegate)
            _exportWinDelegate->cancelExport(this);
    } else {
        setExportState(ExportState::Converting);
        if (_exportWinDelegate)
            _exportWinDelegate->continueExport(this);
        if (!held.isEmpty())
            finishedConvert(held);
    }
}

void LXExportWindowController::browseExportPath(LXButton *sender) {
    if (_exportWinDelegate)
        _exportWinDelegate->browseExport(sender);
}

void LXExportWindowController::closeProgress(LXButton *sender) {
    (void)sender;
    closeWindow();
}

void LXExportWindowController::cancel(LXButton *sender) {
    (void)sender;
    closeWindow();
}

void LXExportWindowController::buttonUp(LXButton *button) {
    if (button == _cancelButton)
        cancelExport(button);
    else if (button == _browseButton)
        browseExportPath(button);
    else if (button == _closeButton)
        closeProgress(button);
}

void LXExportWindowController::reject() {
    switch (_exportState) {
    case ExportState::Converting:
        cancelExport(_cancelButton);
        break;
    case ExportState::Confirming:
    case ExportState::Cancelling:
        break;
    case ExportState::Idle:
    case ExportState::Finished:
    case ExportState::Failed:
        closeWindow();
        break;
    case ExportState::Closed:
        hide();
        break;
    }
}

void LXExportWindowController::closeEvent(QCloseEvent *event) {
    if (_exportState == ExportState::Closed) {
        event->accept();
        return;
    }
    event->ignore();
    reject();
}

void LXExportWindowController::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const QRectF all(rect());
    const QPixmap bg = LXImage::named(QStringLiteral("ExportSheetBg.png"));
    if (!bg.isNull())
        LXImage::drawAtViewFrame(p, bg, all);
    else
        p.fillRect(all, QColor(0x1f, 0x22, 0x27));
    // A frame line, and a quiet rule over the button row of the tall layout.
    p.setPen(QPen(kBorder, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(all.adjusted(0.5, 0.5, -0.5, -0.5));
    if (height() >= kCompactBelow && _cancelButton) {
        const double y = height() - (16 + kButtonH + 12);
        p.fillRect(QRectF(kMargin, y, width() - 2 * kMargin, 1), QColor(0, 0, 0, 110));
        p.fillRect(QRectF(kMargin, y + 1, width() - 2 * kMargin, 1), QColor(255, 255, 255, 10));
    }
}
