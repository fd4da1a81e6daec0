#include "SettingController.h"

#include "vcCommon.h"

#include <DesktopCitizen.h>

#include <framewheel/SWConvertSession.h>

#include <glazeform/LXCommon.h>
#include <glazeform/LXFocus.h>
#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXStyle.h>
#include <glazeform/LXSwitchButton.h>

#include <QCoreApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

SettingController::FolderChooser &folderChooser() {
    static SettingController::FolderChooser chooser;
    return chooser;
}

} // namespace

// ---------------------------------------------------------------------------------------

ODUpDownStepper::ODUpDownStepper(QWidget *parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
    setToolTip(QCoreApplication::translate("ODSettingController", "Fewer or more conversions at the same time"));
    setFocusPolicy(Qt::TabFocus);
}

bool ODUpDownStepper::event(QEvent *event) {
    if (LXFocus::claimKeys(event, {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Minus, Qt::Key_Plus}))
        return true;
    return QWidget::event(event);
}

void ODUpDownStepper::keyPressEvent(QKeyEvent *event) {
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
    case Qt::Key_Minus:
        step = -1;
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Plus:
        step = 1;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    setValue(_value + step);
    emit stepped(_value);
}

void ODUpDownStepper::focusInEvent(QFocusEvent *event) {
    update();
    QWidget::focusInEvent(event);
}

void ODUpDownStepper::focusOutEvent(QFocusEvent *event) {
    update();
    QWidget::focusOutEvent(event);
}

void ODUpDownStepper::setValue(double v) {
    _value = std::clamp(v, _min, std::max(_min, _max));
    update();
}

int ODUpDownStepper::halfAt(const QPointF &p) const {
    if (!rect().contains(p.toPoint()))
        return 0;
    return p.x() < width() / 2.0 ? -1 : 1;
}

void ODUpDownStepper::mousePressEvent(QMouseEvent *event) {
    LXCommon::popupDownMenu();
    _pressed = event->button() == Qt::LeftButton ? halfAt(event->position()) : 0;
    update();
}

void ODUpDownStepper::mouseReleaseEvent(QMouseEvent *event) {
    const int half = _pressed;
    _pressed = 0;
    update();
    if (half == 0 || halfAt(event->position()) != half)
        return;
    setValue(_value + half);
    emit stepped(_value);
}

void ODUpDownStepper::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double mid = r.center().x();
    QPainterPath body;
    body.addRoundedRect(r, 6, 6);
    p.fillPath(body, QColor(0x14, 0x16, 0x1a));
    if (_pressed != 0) {
        p.save();
        p.setClipRect(_pressed < 0 ? QRectF(r.left(), r.top(), mid - r.left(), r.height())
                                   : QRectF(mid, r.top(), r.right() - mid, r.height()));
        p.fillPath(body, QColor(0x38, 0xc0, 0xf5, 90));
        p.restore();
    }
    p.setPen(QPen(QColor(0x3a, 0x40, 0x49), 1));
    p.drawPath(body);
    p.drawLine(QPointF(mid, r.top() + 4), QPointF(mid, r.bottom() - 4));
    // A minus and a plus, dimmed at the bound they cannot pass.
    const double arm = std::min(r.height(), r.width() / 2) * 0.22;
    auto sign = [&](double cx, bool plus, bool live) {
        p.setPen(QPen(live ? QColor(0xdf, 0xe3, 0xe8) : QColor(0x5a, 0x61, 0x6b), 2, Qt::SolidLine, Qt::RoundCap));
        const double cy = r.center().y();
        p.drawLine(QPointF(cx - arm, cy), QPointF(cx + arm, cy));
        if (plus)
            p.drawLine(QPointF(cx, cy - arm), QPointF(cx, cy + arm));
    };
    sign((r.left() + mid) / 2, false, _value > _min);
    sign((mid + r.right()) / 2, true, _value < _max);
    LXFocus::drawRing(p, this, QRectF(rect()), 6);
}

// ---------------------------------------------------------------------------------------

SettingController::SettingController(QWidget *parent) : QDialog(parent) {}

void SettingController::setFolderChooserForTesting(FolderChooser chooser) { folderChooser() = std::move(chooser); }

void SettingController::showSetting(QWidget *window) {
    initUI();
    if (window && window != parentWidget())
        setParent(window, windowFlags());
    setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    show();
    raise();
}

void SettingController::setLimit(int64_t limit) {
    if (_countLabel)
        _countLabel->setTextTitle(QString::asprintf("%ld", long(limit)));
    // The spin control and the stepper both show the limit: the next step of either
    // starts from it.
    if (_maxConvertCountBtn)
        _maxConvertCountBtn->setCurValue(double(limit));
    if (m_ODUpDownStepBtn)
        m_ODUpDownStepBtn->setValue(double(limit));
    vcCommon::setMaxConvertingCountSameTime(limit);
}

void SettingController::initUI() {
    const int64_t limit = vcCommon::maxConvertingCountSameTime();
    if (_countLabel)
        _countLabel->setTextTitle(QString::asprintf("%ld", long(limit)));
    // The spin control starts from the stored limit, so that its first step moves from the
    // number shown and not from its own default.
    if (_maxConvertCountBtn)
        _maxConvertCountBtn->setCurValue(double(std::clamp<int64_t>(limit, kMinConvertCount, kMaxConvertCount)));
    if (m_ODUpDownStepBtn)
        m_ODUpDownStepBtn->setValue(double(std::clamp<int64_t>(limit, kMinConvertCount, kMaxConvertCount)));
    if (m_ODAutoCheckCodecFmtBtn)
        m_ODAutoCheckCodecFmtBtn->setBOnStates(vcCommon::autoCheckStreamCopyWhenSameCodec());
    // Both switches show what is stored; a switch showing the opposite would invert the next change.
    if (m_ODModifyOutputFmtBtn)
        m_ODModifyOutputFmtBtn->setBOnStates(vcCommon::showTipAgainWhenChangeOutputFmt());
    if (m_ODKeepAwakeBtn)
        m_ODKeepAwakeBtn->setBOnStates(SleepInhibitor::keepAwakeWhileConverting());
    if (m_ODEvenLoudnessBtn)
        m_ODEvenLoudnessBtn->setBOnStates(vcCommon::evenLoudness());
    if (_autoCheckCodecFmtCB)
        _autoCheckCodecFmtCB->setBChecked(vcCommon::autoCheckStreamCopyWhenSameCodec());
    if (_modifyOutputFmtCB)
        _modifyOutputFmtCB->setBChecked(vcCommon::showTipAgainWhenChangeOutputFmt());
    if (_savePathField && _savePathField->text().isEmpty())
        _savePathField->setText(vcCommon::exportMovieFolder());
    update();
}

void SettingController::closeSetting() {
    hide();
    done(QDialog::Accepted);
    close();
}

void SettingController::setVideoPath() {
    const QString start = _savePathField ? _savePathField->text() : vcCommon::exportMovieFolder();
    auto apply = [this](const QString &path) {
        if (path.isEmpty())
            return;
        if (_savePathField)
            _savePathField->setText(path);
        vcCommon::setExportMovieFolder(path);
        if (_delegate)
            _delegate->exportFolderChosen(path);
    };
    if (folderChooser()) {
        if (const auto chosen = folderChooser()(start))
            apply(*chosen);
        return;
    }
    auto *dialog = new QFileDialog(this, QString(), start);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, apply);
    dialog->open();
}

void SettingController::clearHistory() {
    if (_delegate && _delegate->canClearAllHistory().value_or(false))
        _delegate->clearAllHistory();
}

void SettingController::upDownStep(double value) { setLimit(int64_t(std::trunc(value))); }

void SettingController::autoCheckStream() {
    if (m_ODAutoCheckCodecFmtBtn)
        vcCommon::setAutoCheckStreamCopyWhenSameCodec(m_ODAutoCheckCodecFmtBtn->bOnStates());
}

void SettingController::modifyAllOutput() {
    if (m_ODModifyOutputFmtBtn)
        vcCommon::setShowTipAgainWhenChangeOutputFmt(m_ODModifyOutputFmtBtn->bOnStates());
}

void SettingController::evenLoudness() {
    if (m_ODEvenLoudnessBtn)
        vcCommon::setEvenLoudness(m_ODEvenLoudnessBtn->bOnStates());
}

void SettingController::keepAwake() {
    if (m_ODKeepAwakeBtn)
        SleepInhibitor::setKeepAwakeWhileConverting(m_ODKeepAwakeBtn->bOnStates());
}

void SettingController::buttonUp(LXButton *button) {
    if (button == _closeBtn)
        closeSetting();
    else if (button == _browserBtn)
        setVideoPath();
    else if (button == _clearHistoryBtn)
        clearHistory();
}

void SettingController::spinButtonTopUp(LXSpinButton *spin) { setLimit(int64_t(std::trunc(spin->curValue()))); }

void SettingController::spinButtonBtmUp(LXSpinButton *spin) { setLimit(int64_t(std::trunc(spin->curValue()))); }

void SettingController::clickedButtonChecked(LXCheckButton *button, bool checked) {
    if (button == _modifyOutputFmtCB)
        vcCommon::setShowTipAgainWhenChangeOutputFmt(checked);
    else if (button == _autoCheckCodecFmtCB)
        vcCommon::setAutoCheckStreamCopyWhenSameCodec(checked);
}

// ---------------------------------------------------------------------------------------
// The working sheet.

namespace {
const QColor kSheet(0x1f, 0x22, 0x27);
const QColor kText(0xdf, 0xe3, 0xe8);
const QColor kSoft(0x8f, 0x98, 0xa3);
constexpr double kW = 480, kH = 336;

LXLabel *label(QWidget *parent, const QRectF &frame, const QString &text, qreal size, const QColor &color) {
    auto *l = new LXLabel(frame, parent);
    l->setTextFont(LXStyle::systemFont(size));
    l->setTextColor(color);
    l->setTextTitle(text);
    return l;
}

LXButton *textButton(QWidget *parent, const QRectF &frame, const QString &title) {
    auto *b = new LXButton(frame, parent);
    b->setImages(QStringLiteral("ODSettingButtonNormal.png"), QStringLiteral("ODSettingButtonPress.png"));
    b->setTextTitle(title);
    b->setTextFont(LXStyle::systemFont(12));
    b->setTextNormalColor(kText);
    b->setTextPressColor(QColor(0x38, 0xc0, 0xf5));
    b->setYOffSet(-2);
    return b;
}

LXSwitchButton *switchButton(QWidget *parent, const QRectF &frame) {
    auto *s = new LXSwitchButton(frame, parent);
    s->setBtnBackgroundImage(LXImage::named(QStringLiteral("ODSwitchBG.png")));
    s->setBtnForegroundImage(LXImage::named(QStringLiteral("ODSwitchFG.png")));
    return s;
}
} // namespace

ODSettingController *ODSettingController::shareSettingController(QWidget *window) {
    auto *sheet = new ODSettingController(window);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->showSetting(window);
    return sheet;
}

ODSettingController::ODSettingController(QWidget *parent) : SettingController(parent) {
    setObjectName(QStringLiteral("ODSettingController"));
    setWindowTitle(tr("Preferences"));
    setFixedSize(int(kW), int(kH));

    label(this, QRectF(24, 290, 300, 24), tr("Preferences"), 17, kText)->setTextFont(LXStyle::boldSystemFont(17));

    _countTipLabel = label(this, QRectF(24, 236, 300, 22), QString(), 13, kText);
    _countLabel = label(this, QRectF(322, 232, 36, 28), QString(), 20, kText);
    _countLabel->setTextAlignment(LXLabel::AlignRight);
    _maxConvertCountBtn = new LXSpinButton(QRectF(364, 233, 20, 30), this);
    _maxConvertCountBtn->setBackgroundImage(LXImage::named(QStringLiteral("LXSpinBackground.png")));
    _maxConvertCountBtn->setTopBtnPressImage(LXImage::named(QStringLiteral("LXSpinTopPress.png")));
    _maxConvertCountBtn->setBtmBtnPressImage(LXImage::named(QStringLiteral("LXSpinBtmPress.png")));
    _maxConvertCountBtn->setMinValue(kMinConvertCount);
    _maxConvertCountBtn->setMaxValue(kMaxConvertCount);
    _maxConvertCountBtn->setDelegate(this);
    m_ODUpDownStepBtn = new ODUpDownStepper(this);
    m_ODUpDownStepBtn->setObjectName(QStringLiteral("ODUpDownStepBtn"));
    LXGeometry::place(m_ODUpDownStepBtn, QRectF(396, 235, 60, 26));
    m_ODUpDownStepBtn->setMinValue(kMinConvertCount);
    m_ODUpDownStepBtn->setMaxValue(kMaxConvertCount);
    connect(m_ODUpDownStepBtn, &ODUpDownStepper::stepped, this, [this](double v) { upDownStep(v); });

    label(this, QRectF(24, 196, 340, 22),
          QCoreApplication::translate("ODSettingController", "Copy streams when the codec stays the same"), 13, kText);
    m_ODAutoCheckCodecFmtBtn = switchButton(this, QRectF(409, 198, 47, 18));
    connect(m_ODAutoCheckCodecFmtBtn, &LXSwitchButton::stateChanged, this, [this] { autoCheckStream(); });
    label(this, QRectF(24, 160, 340, 22),
          QCoreApplication::translate("ODSettingController", "Ask before applying a format to every item"), 13, kText);
    m_ODModifyOutputFmtBtn = switchButton(this, QRectF(409, 162, 47, 18));
    connect(m_ODModifyOutputFmtBtn, &LXSwitchButton::stateChanged, this, [this] { modifyAllOutput(); });
    label(this, QRectF(24, 124, 340, 22),
          tr("Even loudness (EBU R128, %1 LUFS)").arg(SWConvertOption::kLoudnessDefault), 13, kText);
    m_ODEvenLoudnessBtn = switchButton(this, QRectF(409, 126, 47, 18));
    m_ODEvenLoudnessBtn->setObjectName(QStringLiteral("evenLoudnessSwitch"));
    m_ODEvenLoudnessBtn->setToolTip(tr("Brings every output's sound to the same loudness; the sound is then always "
                                       "encoded, never copied"));
    connect(m_ODEvenLoudnessBtn, &LXSwitchButton::stateChanged, this, [this] { evenLoudness(); });

    label(this, QRectF(24, 88, 200, 20), QCoreApplication::translate("ODSettingController", "Export folder"), 12,
          kSoft);
    auto *awake = label(this, QRectF(150, 88, 250, 20),
                        QCoreApplication::translate("ODSettingController", "Keep awake while converting"), 12, kSoft);
    awake->setTextAlignment(LXLabel::AlignRight);
    m_ODKeepAwakeBtn = switchButton(this, QRectF(409, 89, 47, 18));
    m_ODKeepAwakeBtn->setObjectName(QStringLiteral("keepAwakeSwitch"));
    connect(m_ODKeepAwakeBtn, &LXSwitchButton::stateChanged, this, [this] { keepAwake(); });
    _savePathField = new QLineEdit(this);
    _savePathField->setReadOnly(true);
    _savePathField->setStyleSheet(QStringLiteral("QLineEdit { background: #14161a; color: #dfe3e8; border: 1px solid "
                                                 "#3a4049; border-radius: 5px; padding: 0 6px; }"));
    LXGeometry::place(_savePathField, QRectF(24, 59, 380, 26));
    _browserBtn = new LXButton(QRectF(416, 59, 32, 26), this);
    _browserBtn->setImages(QStringLiteral("ODBrowserNormal.png"), QStringLiteral("ODBrowserPress.png"));
    _browserBtn->setTextTitle(QString());
    _browserBtn->setToolTip(QCoreApplication::translate("ODSettingController", "Choose the export folder"));
    _browserBtn->setDelegate(this);

    _clearHistoryBtn =
        textButton(this, QRectF(24, 16, 96, 26), QCoreApplication::translate("ODSettingController", "Clear History"));
    _clearHistoryBtn->setDelegate(this);
    _closeBtn =
        textButton(this, QRectF(kW - 24 - 96, 16, 96, 26), QCoreApplication::translate("ODSettingController", "Done"));
    _closeBtn->setDelegate(this);

    // The captions beside the controls are drawn apart from them: say them to screen readers.
    _maxConvertCountBtn->setAccessibleName(tr("Conversions at the same time"));
    m_ODUpDownStepBtn->setAccessibleName(tr("Conversions at the same time"));
    m_ODAutoCheckCodecFmtBtn->setAccessibleName(tr("Copy streams when the codec stays the same"));
    m_ODModifyOutputFmtBtn->setAccessibleName(tr("Ask before applying a format to every item"));
    m_ODEvenLoudnessBtn->setAccessibleName(tr("Even loudness"));
    m_ODKeepAwakeBtn->setAccessibleName(tr("Keep awake while converting"));
    _savePathField->setAccessibleName(tr("Export folder"));
    // Tab follows the sheet from top to bottom, the Done button last.
    const std::initializer_list<QWidget *> order{
        _maxConvertCountBtn, m_ODUpDownStepBtn, m_ODAutoCheckCodecFmtBtn, m_ODModifyOutputFmtBtn,
        m_ODEvenLoudnessBtn, m_ODKeepAwakeBtn,  _savePathField,           _browserBtn,
        _clearHistoryBtn,    _closeBtn};
    for (auto it = order.begin(); it + 1 != order.end(); ++it)
        setTabOrder(*it, *(it + 1));
}

void ODSettingController::initUI() {
    _countTipLabel->setTextTitle(
        QCoreApplication::translate("ODSettingController", "Allow converting videos at the same time"));
    _countTipLabel->setTextColor(kText);
    _countLabel->setTextColor(kText);
    SettingController::initUI();
}

void ODSettingController::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), kSheet);
    // Hairlines between the title, the settings and the buttons.
    for (double y : {kH - 58.0, 58.0}) {
        p.fillRect(QRectF(24, y, kW - 48, 1), QColor(0, 0, 0, 120));
        p.fillRect(QRectF(24, y + 1, kW - 48, 1), QColor(255, 255, 255, 10));
    }
}
