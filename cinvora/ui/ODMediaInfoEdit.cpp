#include "ODMediaInfoEdit.h"

#include <glazeform/LXGeometry.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXStyle.h>
#include <glazeform/LXView.h>

#include <framewheel/SWQualityTarget.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSignalBlocker>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {
const QColor kSheet(0x1f, 0x22, 0x27);
const QColor kPanel(0x26, 0x2a, 0x31);
const QColor kText(0xdf, 0xe3, 0xe8);
const QColor kSoft(0x8f, 0x98, 0xa3);
const QColor kAccent(0x38, 0xc0, 0xf5);

// Layout, lower-left points: the buttons, then the quality, target, video and audio parts
// upwards.
constexpr double kMargin = 20;
constexpr double kButtonsY = 16;
constexpr double kBoxH = 112;
constexpr double kQualityBoxH = 60;
constexpr double kTargetBoxH = 86;
constexpr double kBoxGap = 12;
constexpr double kQualityBoxY = 56;
constexpr double kTargetBoxY = kQualityBoxY + kQualityBoxH + kBoxGap;
constexpr double kVideoBoxY = kTargetBoxY + kTargetBoxH + kBoxGap;
constexpr double kAudioBoxY = kVideoBoxY + kBoxH + kBoxGap;

// The pop-ups wear the skin's pop-up cell; the list they open is dark as well.
const char *const kPopUpStyle =
    "QComboBox { color: #e6e9ed; font-size: 12px; padding: 0 0 0 4px; min-height: 12px;"
    "  border-width: 5px 20px 5px 5px;"
    "  border-image: url(:/pictures/ODPopNormal.png) 5 20 5 5 stretch stretch; }"
    "QComboBox:on, QComboBox:pressed { border-image: url(:/pictures/ODPopPress.png) 5 20 5 5 stretch stretch; }"
    "QComboBox:disabled { color: #6b737d; }"
    "QComboBox::drop-down { width: 0px; border: none; }"
    "QComboBox::down-arrow { image: none; width: 0px; }"
    "QComboBox QAbstractItemView { background: #22262c; color: #e6e9ed; border: 1px solid #0b0c0e;"
    "  selection-background-color: #1c8ec7; selection-color: #ffffff; outline: 0; padding: 2px; }"
    "QDoubleSpinBox { color: #e6e9ed; background: #1b1e23; font-size: 12px; padding: 0 4px;"
    "  border: 1px solid #0b0c0e; border-radius: 4px; selection-background-color: #1c8ec7; }"
    "QDoubleSpinBox:focus { border-color: #38c0f5; }";

constexpr double kBytesPerMB = 1'000'000;

// A group of pop-ups on a slightly raised, rounded panel with a small caption.
class Box : public LXView {
public:
    Box(const QString &caption, double height, QWidget *parent) : LXView(parent) {
        auto *l = new LXLabel(this);
        l->setTextFont(LXStyle::boldSystemFont(11));
        l->setTextColor(kSoft);
        l->setTextTitle(caption);
        LXGeometry::place(l, QRectF(8, height - 26, 200, 20));
    }

protected:
    void drawContent(QPainter &p, const QRect &) override {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath body;
        body.addRoundedRect(r, 8, 8);
        p.fillPath(body, kPanel);
        p.setPen(QPen(QColor(0, 0, 0, 140), 1));
        p.drawPath(body);
        p.setPen(QPen(QColor(255, 255, 255, 12), 1));
        p.drawLine(QPointF(r.left() + 8, r.top() + 1), QPointF(r.right() - 8, r.top() + 1));
    }
};

LXButton *textButton(QWidget *parent, const QRectF &frame, const QString &title, LXButtonDelegate *delegate) {
    auto *b = new LXButton(frame, parent);
    b->setImages(QStringLiteral("ODSettingButtonNormal.png"), QStringLiteral("ODSettingButtonPress.png"));
    b->setTextTitle(title);
    b->setTextFont(LXStyle::systemFont(12));
    b->setTextNormalColor(kText);
    b->setTextPressColor(kAccent);
    b->setYOffSet(-2);
    b->setDelegate(delegate);
    return b;
}

// "%ld" of each entry: a rate of 23.976 reads 23.
QStringList wholeNumbers(const QList<double> &values) {
    QStringList out;
    for (double v : values)
        out << QString::asprintf("%ld", static_cast<long>(v));
    return out;
}

// Fills a pop-up and selects `index`, or nothing when the index lies outside the list.
void fill(QComboBox *box, const QStringList &items, int64_t index) {
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(index >= 0 && index < items.size() ? static_cast<int>(index) : -1);
}
} // namespace

// ---------------------------------------------------------------------------------------

ODMediaInfoEdit *ODMediaInfoEdit::shareODMediaInfoEditEditMovieWithDelegate(QWidget *parent, const LXMediaInfoPtr &item,
                                                                            ODMediaInfoEditDelegate *delegate) {
    if (!item)
        return nullptr;
    auto *editor = new ODMediaInfoEdit(parent);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->_audioOnly = !item->bSourceIsVideo() || !item->bOutputIsVideo();
    if (editor->_audioOnly) {
        editor->showAudioBoxOnly();
        editor->setWindowTitle(tr("Audio Information"));
    } else {
        editor->setWindowTitle(tr("Video Information"));
    }
    editor->setMediaInfoEditDelegate(delegate);
    editor->showEditWin(parent);
    editor->initMediaInfo(item);
    // Modal for the whole program: the list cannot change under the edit.
    editor->setWindowModality(Qt::ApplicationModal);
    editor->show();
    editor->raise();
    editor->activateWindow();
    return editor;
}

ODMediaInfoEdit::ODMediaInfoEdit(QWidget *parent) : QDialog(parent) {
    setObjectName(windowNibName());
    setWindowTitle(tr("Video Information"));
    setFixedSize(kWidth, kHeight);
    setStyleSheet(QString::fromLatin1(kPopUpStyle));

    _qualityBox = new Box(tr("QUALITY"), kQualityBoxH, this);
    LXGeometry::place(_qualityBox, QRectF(kMargin, kQualityBoxY, kWidth - 2 * kMargin, kQualityBoxH));
    _targetBox = new Box(tr("SIZE OR QUALITY TARGET"), kTargetBoxH, this);
    LXGeometry::place(_targetBox, QRectF(kMargin, kTargetBoxY, kWidth - 2 * kMargin, kTargetBoxH));
    _videoBox = new Box(tr("VIDEO"), kBoxH, this);
    LXGeometry::place(_videoBox, QRectF(kMargin, kVideoBoxY, kWidth - 2 * kMargin, kBoxH));
    _audioBox = new Box(tr("AUDIO"), kBoxH, this);
    LXGeometry::place(_audioBox, QRectF(kMargin, kAudioBoxY, kWidth - 2 * kMargin, kBoxH));

    // Sound follows the quality as well as the picture, so the audio part alone keeps it.
    _qualityPopBtn = popUp(_qualityBox, 8, tr("Quality"), &ODMediaInfoEdit::selectQuality);

    auto *fitLabel = new LXLabel(_targetBox);
    fitLabel->setTextFont(LXStyle::systemFont(12));
    fitLabel->setTextColor(kText);
    fitLabel->setTextTitle(tr("Fit in"));
    LXGeometry::place(fitLabel, QRectF(8, 35, 120, 22));
    _fitInField = new QDoubleSpinBox(_targetBox);
    _fitInField->setAccessibleName(tr("Fit in"));
    _fitInField->setAccessibleDescription(tr("The largest size the converted file may have, in megabytes"));
    _fitInField->setRange(0, kMaxFitInMB);
    _fitInField->setDecimals(1);
    _fitInField->setSingleStep(1);
    _fitInField->setSuffix(tr(" MB"));
    // 0 reads as what it means.
    _fitInField->setSpecialValueText(tr("No limit"));
    _fitInField->setKeyboardTracking(false);
    // The arrow keys and the wheel step it; the skin has no spin buttons.
    _fitInField->setButtonSymbols(QAbstractSpinBox::NoButtons);
    LXGeometry::place(_fitInField, QRectF(140, 34, _targetBox->width() - 140 - 14, 24));
    connect(_fitInField, &QDoubleSpinBox::valueChanged, this, &ODMediaInfoEdit::selectFitIn);
    _targetPopBtn = popUp(_targetBox, 8, tr("Target quality"), &ODMediaInfoEdit::selectTarget);

    _videoCodecPopBtn = popUp(_videoBox, 60, tr("Codec"), &ODMediaInfoEdit::selectVideoCodec);
    _videoResolutionPopBtn = popUp(_videoBox, 34, tr("Frame size"), &ODMediaInfoEdit::selectVideoResolution);
    _videoFrameRatePopBtn = popUp(_videoBox, 8, tr("Frame rate"), &ODMediaInfoEdit::selectVideoFrameRate);
    _audioCodecPopBtn = popUp(_audioBox, 60, tr("Codec"), &ODMediaInfoEdit::selectAudioCodec);
    _audioChannelPopBtn = popUp(_audioBox, 34, tr("Channels"), &ODMediaInfoEdit::selectAudioChannel);
    _audioSampleRatePopBtn = popUp(_audioBox, 8, tr("Sample rate"), &ODMediaInfoEdit::selectAudioSampleRate);
    // The track pop-ups are only ever emptied (the tracks are chosen in the editor of the
    // item); an always-empty control is not shown.
    _videoSubTitlePopBtn = new QComboBox(_videoBox);
    _videoSubTitlePopBtn->hide();
    _audioTrackPopBtn = new QComboBox(_audioBox);
    _audioTrackPopBtn->hide();

    _saveButton = textButton(this, QRectF(kWidth - kMargin - 96, kButtonsY, 96, 26), tr("Save"), this);
    _cancelButton = textButton(this, QRectF(kWidth - kMargin - 96 - 10 - 96, kButtonsY, 96, 26), tr("Cancel"), this);
}

ODMediaInfoEdit::~ODMediaInfoEdit() = default;

QComboBox *ODMediaInfoEdit::popUp(LXView *box, double y, const QString &caption, void (ODMediaInfoEdit::*action)(int)) {
    auto *label = new LXLabel(box);
    label->setTextFont(LXStyle::systemFont(12));
    label->setTextColor(kText);
    label->setTextTitle(caption);
    LXGeometry::place(label, QRectF(8, y + 1, 120, 22));
    auto *pop = new QComboBox(box);
    // Named by its caption, not by the value it shows.
    pop->setAccessibleName(caption);
    pop->setMaxVisibleItems(12);
    pop->view()->setTextElideMode(Qt::ElideRight);
    LXGeometry::place(pop, QRectF(140, y, box->width() - 140 - 14, 24));
    connect(pop, &QComboBox::activated, this, [this, action](int index) { (this->*action)(index); });
    return pop;
}

void ODMediaInfoEdit::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), kSheet);
}

// ---------------------------------------------------------------------------------------

void ODMediaInfoEdit::showAudioBoxOnly() {
    const QRect g = geometry();
    const int removed = g.height() - kAudioOnlyHeight;
    setFixedSize(kWidth, kAudioOnlyHeight);
    move(g.x(), g.y() + removed / 2);
    _videoBox->hide();
    // A size limit and a quality target steer the video's rate; sound keeps its quality.
    _targetBox->hide();
    const QRectF target = LXGeometry::frameOf(_targetBox);
    LXGeometry::place(_audioBox, QRectF(target.x(), target.y(), target.width(), kBoxH));
}

void ODMediaInfoEdit::showEditWin(QWidget *parent) {
    if (QWidget *w = parent ? parent->window() : nullptr) {
        const QRect pg = w->frameGeometry();
        move(pg.x() + (pg.width() - width()) / 2, pg.y() + (pg.height() - height()) / 2);
    }
    raise();
}

void ODMediaInfoEdit::clearAllPopupBtns() {
    for (QComboBox *b :
         {_qualityPopBtn, _targetPopBtn, _videoCodecPopBtn, _videoResolutionPopBtn, _videoFrameRatePopBtn,
          _videoSubTitlePopBtn, _audioCodecPopBtn, _audioChannelPopBtn, _audioSampleRatePopBtn, _audioTrackPopBtn})
        b->clear();
}

void ODMediaInfoEdit::initMediaInfo(const LXMediaInfoPtr &item) {
    clearAllPopupBtns();
    if (!item)
        return;
    _editMovie = item->copyMovie();
    const LXMediaInfo &m = *_editMovie;
    if (!_audioOnly) {
        // The format's sizes, then the source's own, which the item keeps unless told otherwise.
        QStringList sizes;
        for (const LXFrameSize &size : m.resolutions())
            sizes << QStringLiteral("%1*%2").arg(size.width).arg(size.height);
        const int64_t chosen = m.resolutionIndex();
        const bool inside = chosen >= 0 && chosen < sizes.size();
        sizes << tr("(Defaults) %1*%2").arg(m.orgWidth()).arg(m.orgHeight());
        fill(_videoResolutionPopBtn, sizes, inside ? chosen : sizes.size() - 1);
        fill(_videoCodecPopBtn, m.vCodecs(), m.vCodecIndex());
        fill(_videoFrameRatePopBtn, wholeNumbers(m.frameRates()), m.frameRateIndex());
    }
    fill(_qualityPopBtn, qualityNames(), int64_t(m.outputQuality()));
    showGoal(m.outputGoal());
    fill(_audioCodecPopBtn, m.aCodecs(), m.aCodecIndex());
    fill(_audioChannelPopBtn, wholeNumbers(m.channels()), m.channelIndex());
    fill(_audioSampleRatePopBtn, wholeNumbers(m.sampleRates()), m.sampleRateIndex());
}

QStringList ODMediaInfoEdit::qualityNames() {
    // In the order of LXQuality: each entry's index is the quality it names.
    return {tr("High: larger file"), tr("Medium"), tr("Low: smallest file")};
}

void ODMediaInfoEdit::selectQuality(int index) {
    if (!_editMovie)
        return;
    if (const auto quality = qualityFromStored(index))
        _editMovie->setOutputQuality(*quality);
}

QStringList ODMediaInfoEdit::targetNames() {
    // In the order of kQualityTargetPoints, after "None".
    return {tr("None"), tr("Visually lossless (SSIM 0.99)"), tr("Good (SSIM 0.98)"), tr("Small (SSIM 0.96)")};
}

void ODMediaInfoEdit::showGoal(const LXOutputGoal &goal) {
    QStringList names = targetNames();
    int64_t index = 0;
    if (goal.targetSsim > 0) {
        index = -1;
        for (size_t i = 0; i < kQualityTargetPoints.size(); ++i)
            if (kQualityTargetPoints[i].ssim == goal.targetSsim)
                index = int64_t(i) + 1;
        if (index < 0) {
            // A target set elsewhere than in this pop-up is shown as it is, not rounded to a point.
            names << tr("SSIM %1").arg(goal.targetSsim, 0, 'f', 3);
            index = names.size() - 1;
        }
    }
    fill(_targetPopBtn, names, index);
    const QSignalBlocker quiet(_fitInField);
    _fitInField->setValue(double(goal.fitInBytes) / kBytesPerMB);
}

void ODMediaInfoEdit::selectFitIn(double megabytes) {
    if (!_editMovie)
        return;
    const int64_t bytes = std::llround(megabytes * kBytesPerMB);
    const LXOutputGoal now = _editMovie->outputGoal();
    // Clearing the size leaves a chosen target alone.
    if (bytes <= 0 && now.fitInBytes == 0)
        return;
    const LXOutputGoal goal = LXOutputGoal::fitIn(bytes);
    _editMovie->setOutputGoal(goal);
    showGoal(goal);
}

void ODMediaInfoEdit::selectTarget(int index) {
    if (!_editMovie || index < 0)
        return;
    LXOutputGoal goal;
    if (index >= 1 && index <= int(kQualityTargetPoints.size()))
        goal = LXOutputGoal::quality(kQualityTargetPoints[size_t(index - 1)].ssim);
    else if (index > int(kQualityTargetPoints.size()))
        return; // the item's own target, unchanged
    else if (_editMovie->outputGoal().targetSsim == 0)
        return; // "None" leaves a size limit alone
    _editMovie->setOutputGoal(goal);
    showGoal(goal);
}

void ODMediaInfoEdit::selectVideoCodec(int index) {
    if (_editMovie && index >= 0)
        _editMovie->setVCodecIndex(index);
}

void ODMediaInfoEdit::selectVideoResolution(int index) {
    if (!_editMovie || index < 0 || index >= _videoResolutionPopBtn->count())
        return;
    _editMovie->update([index](LXMediaFields &f) { f.chooseResolution(index); });
}

void ODMediaInfoEdit::selectVideoFrameRate(int index) {
    if (_editMovie && index >= 0)
        _editMovie->setFrameRateIndex(index);
}

void ODMediaInfoEdit::selectAudioCodec(int index) {
    if (_editMovie && index >= 0)
        _editMovie->setACodecIndex(index);
}

void ODMediaInfoEdit::selectAudioSampleRate(int index) {
    if (_editMovie && index >= 0)
        _editMovie->setSampleRateIndex(index);
}

void ODMediaInfoEdit::selectAudioChannel(int index) {
    if (_editMovie && index >= 0)
        _editMovie->setChannelIndex(index);
}

void ODMediaInfoEdit::saveMedia() {
    if (_mediaInfoEditDelegate && _editMovie)
        _mediaInfoEditDelegate->saveMediaInfo(*_editMovie);
    done(QDialog::Accepted);
}

void ODMediaInfoEdit::cancelMedia() { done(QDialog::Rejected); }

void ODMediaInfoEdit::buttonUp(LXButton *button) {
    if (button == _saveButton)
        saveMedia();
    else if (button == _cancelButton)
        cancelMedia();
}
