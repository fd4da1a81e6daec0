#include "ODProgressController.h"

#include "ODTheme.h"

#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXSlider.h>
#include <glazeform/LXStyle.h>

#include <QCoreApplication>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QPainterPath>

ProgressController::ProgressController(QWidget *parent, bool needCancel)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), _bNeedCancel(needCancel) {
    // The sheet has the keyboard while it shows: the window's Quit must still be one key away.
    auto *quit = new QShortcut(QKeySequence::Quit, this);
    connect(quit, &QShortcut::activated, this, [this] {
        if (QWidget *owner = parentWidget())
            owner->window()->close();
    });
}

void ProgressController::showOnWindow(QWidget *window) {
    _bCancelAdd = false;
    if (_textField)
        _textField->setTextTitle(QStringLiteral(" "));
    // Not modal: a modal sheet kept the window from closing, and its keys from quitting,
    // for as long as a long list came in.
    setWindowModality(Qt::NonModal);
    if (window) {
        // Hangs from the top of the window like a sheet.
        const QPoint top = window->mapToGlobal(QPoint((window->width() - width()) / 2, 56));
        move(top);
    }
    show();
    raise();
    if (_cancelBtn)
        _cancelBtn->setFocus(Qt::OtherFocusReason);
}

void ProgressController::updateAddProgressPercent(double percent) {
    _percent = std::clamp(percent, 0.0, 100.0);
    if (_wrPrgIndicator)
        _wrPrgIndicator->setSliderPos(_percent / 100.0);
    if (_textField)
        _textField->setTextTitle(QCoreApplication::translate("ODProgressController", "loading..."));
}

void ProgressController::cancelAdd() {
    _bCancelAdd = true;
    if (_cancelBtn)
        _cancelBtn->setEnabled(false);
    if (_delegate)
        _delegate->cancelAddFiles(true);
}

void ProgressController::endSheet() {
    hide();
    done(QDialog::Accepted);
    close();
}

void ProgressController::reject() {
    // Escape is the Cancel button; the sheet goes when the intake has stopped.
    if (!_bCancelAdd)
        cancelAdd();
}

// ---------------------------------------------------------------------------------------

namespace {
constexpr double kW = 380;
}

ODProgressController::ODProgressController(QWidget *parent, bool needCancel) : ProgressController(parent, needCancel) {
    setObjectName(QStringLiteral("ODProgressController"));
    setAttribute(Qt::WA_TranslucentBackground);
    const double h = 124;
    setFixedSize(int(kW), int(h));

    auto *title = new LXLabel(QRectF(24, h - 40, kW - 48, 20), this);
    title->setTextFont(LXStyle::boldSystemFont(14));
    title->setTextColor(odtheme::text());
    title->setTextTitle(needCancel ? tr("Adding files") : tr("Restoring the list"));

    _textField = new LXLabel(QRectF(24, h - 62, kW - 48, 18), this);
    _textField->setTextFont(LXStyle::systemFont(12));
    _textField->setTextColor(odtheme::textSoft());
    _textField->setTextTitle(QStringLiteral(" "));

    _wrPrgIndicator = new LXSliderA(QRectF(22, h - 84, kW - 44, 12), this);
    _wrPrgIndicator->setAttribute(Qt::WA_TransparentForMouseEvents);
    _wrPrgIndicator->setSlideType(0);
    _wrPrgIndicator->setNSpace(2.0);
    _wrPrgIndicator->setBExtentMidSkin(false);
    _wrPrgIndicator->setProgressImage(LXImage::named(QStringLiteral("ODPrgMiddleBg.png")));
    _wrPrgIndicator->setProgressLeftImage(LXImage::named(QStringLiteral("ODPrgLeftBg.png")));
    _wrPrgIndicator->setProgressRightImage(LXImage::named(QStringLiteral("ODPrgRightBg.png")));
    _wrPrgIndicator->setSubProgressLeftImage(LXImage::named(QStringLiteral("ODPrgLeftFg.png")));
    _wrPrgIndicator->setSubProgressImage(LXImage::named(QStringLiteral("ODPrgMiddleFg.png")));
    _wrPrgIndicator->setSubProgressRightImage(LXImage::named(QStringLiteral("ODPrgRightFg.png")));
    _wrPrgIndicator->initImagePosition();
    _wrPrgIndicator->setSliderPos(0);

    // A toolkit button: focus, Space and Return, and its name for screen readers, as any
    // dialog's Cancel.
    _cancelBtn = new QPushButton(tr("Cancel"), this);
    _cancelBtn->setObjectName(QStringLiteral("addProgressCancel"));
    _cancelBtn->setAccessibleName(tr("Cancel"));
    _cancelBtn->setAccessibleDescription(needCancel ? tr("Stop adding files; the files added so far stay in the list")
                                                    : tr("Stop restoring the list; the items restored so far stay"));
    _cancelBtn->setFont(LXStyle::systemFont(12));
    _cancelBtn->setAutoDefault(true);
    _cancelBtn->setDefault(true);
    _cancelBtn->setFocusPolicy(Qt::StrongFocus);
    LXGeometry::place(_cancelBtn, QRectF(kW - 24 - 96, 16, 96, 26));
    connect(_cancelBtn, &QPushButton::clicked, this, [this] {
        if (!_bCancelAdd)
            cancelAdd();
    });
}

void ODProgressController::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF body = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(body, 9, 9);
    p.fillPath(path, QColor(0x1f, 0x22, 0x27));
    p.setPen(QPen(QColor(0, 0, 0, 200), 1));
    p.drawPath(path);
    p.setPen(QPen(QColor(255, 255, 255, 16), 1));
    p.drawRoundedRect(body.adjusted(1, 1, -1, -1), 8, 8);
}
