#include "reelwright/LXMediaEditController.h"

#include "reelwright/LXMediaCommon.h"

#include <foundation/Strings.h>
#include <framewheel/SWMediaInfoManager.h>
#include <glazeform/LXCommon.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXStyle.h>
#include <glazeform/LXView.h>

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileInfo>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <cmath>

using D = LXMediaControllerDelegate;

const QString LXMediaEditController::kNibName = QStringLiteral("LXMediaEditController");
const QString LXMediaEditController::kODNibName = QStringLiteral("ODMovieEditController");
const QString LXMediaEditController::kExportToLabelKey = QStringLiteral("Lan_SC_ExportTo_Lbl");

namespace {
constexpr double kMicro = 1000000.0;
// The page: a title bar over the video, the trim bar under it.
constexpr double kTitleBarHeight = 48;
constexpr double kTrimBarHeight = 128;
constexpr double kSliderHeight = 44;
constexpr double kButton = 32;
constexpr double kMenuWidth = 150;
// A track menu grows to show its longest name whole ("French – VORBIS mono"), up to this.
constexpr double kMaxMenuWidth = 260;

QString fmt(double seconds) { return LXCommon::drawTimeDescStr(seconds); }

// The colours of the page's own texts (the skin's ink).
const QColor kTitleInk(0xe6, 0xe9, 0xed);
const QColor kDimInk(0x8a, 0x93, 0x9e);
const QColor kPreciseInk(0xc8, 0xce, 0xd6);

QFont timeFont() {
    QFont f = LXStyle::namedFont(QStringLiteral("DejaVu Sans Mono"), 12);
    f.setStyleHint(QFont::Monospace);
    return f;
}

// The track menus open the desktop's own list; it is dressed like the rest of the page.
const char *kMenuListStyle = "QListView { background: #24282e; color: #e6e9ed; border: 1px solid #0b0c0e;"
                             " selection-background-color: #1c8ec7; selection-color: #ffffff; outline: 0; }"
                             " QListView::item { min-height: 22px; padding: 0 8px; }";
} // namespace

// ---------------------------------------------------------------------------------------
// Creation

LXMediaEditController *LXMediaEditController::shareEditControllerEditMovieInfoInWinOutputPathWithNibName(
    LXMediaControllerDelegate *delegate, const LXMediaInfoPtr &item, QWidget *window, const QString &outputPath,
    const QString &nibName) {
    auto *c = new LXMediaEditController(delegate);
    c->initWithNibNameBundle(nibName.isEmpty() ? kNibName : nibName);
    c->setEditorWindow(window);
    c->previewScreenMovieAutoPlay(item, false);
    c->changeSubTitleInfo();
    c->changeAudioTrackInfo();
    c->initCB();
    c->focusFirstResponder();
    c->setOutputPath(outputPath);
    return c;
}

LXMediaEditController::LXMediaEditController(LXMediaControllerDelegate *delegate, QWidget *parent)
    : LXPlayerController(delegate, parent) {
    setObjectName(kNibName);
    _titleBarView = new LXView(this);
    _titleLbl = new LXLabel(_titleBarView);
    _positionLbl = new LXLabel(_titleBarView);
    _firstButton = new LXButton(_titleBarView);
    _lastButton = new LXButton(_titleBarView);
    _exportButton = new LXButton(_titleBarView);
    _exportTypePopupBtn = new LXPopUpButton(_titleBarView);
    _backToHome->setParent(_titleBarView);

    _timePanelView = new LXView(_bottomView);
    _startTimeLbl = new LXLabel(_bottomView);
    _endTimeLbl = new LXLabel(_bottomView);
    _subTitleCaption = new LXLabel(_bottomView);
    _audioCaption = new LXLabel(_bottomView);
    _subTitlesBtn = new LXPopupButtonCell(_bottomView);
    _audioTracksBtn = new LXPopupButtonCell(_bottomView);
    for (LXButton *b : {_firstButton, _lastButton, _exportButton})
        b->setTextTitle(QString());
    for (LXPopupButtonCell *menu : {_subTitlesBtn, _audioTracksBtn}) {
        // Reached by Tab; a click leaves the keyboard with the editor's stepping keys.
        menu->setFocusPolicy(Qt::TabFocus);
        menu->view()->setStyleSheet(QString::fromLatin1(kMenuListStyle));
    }
    connect(_subTitlesBtn, &QComboBox::activated, this, [this](int index) { subTitlesChanged(index); });
    connect(_audioTracksBtn, &QComboBox::activated, this, [this](int index) { audioTracksChanged(index); });

    // Stepping from the keyboard while the page has it.
    const auto key = [this](int k, void (LXMediaEditController::*action)()) {
        auto *s = new QShortcut(QKeySequence(k), this);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        connect(s, &QShortcut::activated, this, [this, action] { (this->*action)(); });
    };
    key(Qt::Key_Right, &LXMediaEditController::next);
    key(Qt::Key_Left, &LXMediaEditController::previous);
    key(Qt::Key_Home, &LXMediaEditController::firstFrame);
    key(Qt::Key_End, &LXMediaEditController::lastFrame);
}

LXMediaEditController::~LXMediaEditController() {
    // An open chooser goes with the editor and says nothing more to it.
    if (_subtitleChooser) {
        _subtitleChooser->disconnect(this);
        _subtitleChooser->close();
        _subtitleChooser->deleteLater();
    }
    _exportTypePopupBtn->setDelegate(nullptr);
    _exportTypePopupBtn->closeMenus();
}

// ---------------------------------------------------------------------------------------
// Layout and dressing

bool LXMediaEditController::loadInterface(const QString &nibName) {
    // The media screen's own views, not the player's bar: the editor shows the trim views.
    LXMediaController::loadInterface(nibName);
    for (QWidget *w : std::initializer_list<QWidget *>{_btmSinglePlayControlView, _btmPlayControlView, _exportButton})
        w->hide();
    for (QWidget *w : std::initializer_list<QWidget *>{_cutSlider, _btnGrpView, _backToHome, _voiceButton, _voiceSlider,
                                                       _timeLabel, _previousButton})
        w->show();
    _titleBarView->setBackGroundImage(LXImage::named(QStringLiteral("LXEditTopBar.png")));
    _timePanelView->setBackGroundImage(LXImage::named(QStringLiteral("LXEditTimeWell.png")));

    _titleLbl->setTextFont(LXStyle::boldSystemFont(14));
    _titleLbl->setTextColor(kTitleInk);
    _titleLbl->setTextAlignment(LXLabel::AlignCenter);
    _titleLbl->setBUseDot(true);
    _positionLbl->setTextFont(LXStyle::systemFont(12));
    _positionLbl->setTextColor(kDimInk);
    _positionLbl->setTextAlignment(LXLabel::AlignLeft);

    _timeLabel->setTextAlignment(LXLabel::AlignCenter);
    _timeLabel->setTextFont(timeFont());
    for (LXLabel *l : {_startTimeLbl, _endTimeLbl}) {
        l->setTextFont(timeFont());
        l->setTextColor(kPreciseInk);
        l->setTextAlignment(LXLabel::AlignCenter);
        l->setTextTitle(preciseText(0));
    }
    _startTimeLbl->setToolTip(tr("current time"));
    _endTimeLbl->setToolTip(tr("end time"));
    for (LXLabel *l : {_subTitleCaption, _audioCaption}) {
        l->setTextFont(LXStyle::systemFont(12));
        l->setTextColor(kDimInk);
        l->setTextAlignment(LXLabel::AlignRight);
    }
    _subTitleCaption->setTextTitle(tr("Subtitle"));
    _audioCaption->setTextTitle(tr("Audio"));
    return nibName == kNibName || nibName == kODNibName;
}

void LXMediaEditController::layoutInterface() {
    const double W = width(), H = height();
    const double bar = std::min(kTrimBarHeight, std::max(0.0, H - kTitleBarHeight));
    const double top = std::min(kTitleBarHeight, H);
    place(_backGroundView, QRectF(0, 0, W, H));
    place(_playContainerView, QRectF(0, bar, W, std::max(0.0, H - bar - top)));
    place(_playView, QRectF(0, 0, W, std::max(0.0, H - bar - top)));
    place(_bottomView, QRectF(0, 0, W, bar));
    place(_btmSinglePlayControlView, QRectF(0, 0, W, 0));
    place(_btmPlayControlView, QRectF(0, 0, W, 0));

    // Title bar: back, the list's previous and next item with the place in the list, the
    // item's name in the middle, the export menu at the right.
    place(_titleBarView, QRectF(0, H - top, W, top));
    const double by = (top - kButton) / 2;
    place(_backToHome, QRectF(10, by, kButton, kButton));
    place(_firstButton, QRectF(58, by, kButton, kButton));
    place(_lastButton, QRectF(94, by, kButton, kButton));
    place(_positionLbl, QRectF(134, by + 6, 80, 20));
    const double menuW = 124;
    place(_exportTypePopupBtn, QRectF(W - 14 - menuW, (top - 24) / 2, menuW, 24));
    place(_exportButton, QRectF(W - 14 - menuW - 8 - kButton, by, kButton, kButton));
    const double titleW = std::max(40.0, W - 2 * 230);
    place(_titleLbl, QRectF((W - titleW) / 2, by + 5, titleW, 22));

    // Trim bar: the slider across the top, the precise times under its ends with the time
    // text between them, then the transport, the track menus and the volume.
    place(_cutSlider, QRectF(8, bar - kSliderHeight - 4, std::max(80.0, W - 16), kSliderHeight));
    _cutSlider->initRects();
    _cutSlider->setCurrentTime(_cutSlider->currentTime());
    const double timeY = bar - kSliderHeight - 30;
    const double chipW = 108;
    place(_startTimeLbl, QRectF(20, timeY, chipW, 22));
    place(_endTimeLbl, QRectF(W - 20 - chipW, timeY, chipW, 22));
    place(_timePanelView, QRectF((W - 150) / 2, timeY, 150, 22));
    place(_timeLabel, QRectF((W - 150) / 2, timeY + 1, 150, 20));
    _timePanelView->lower();

    const double rowY = 12;
    place(_btnGrpView, QRectF(12, rowY - 2, 6 * (kButton + 4) + 12, kButton + 4));
    double x = 2;
    for (LXButton *b : {_playPauseButton1, _playTrimButton, _previousButton, _nextButton}) {
        place(b, QRectF(x, 2, kButton, kButton));
        x += kButton + 4;
    }
    x += 12; // the apply buttons apart from the transport
    for (LXButton *b : {_leftCutApplyBtn, _rightCutApplyBtn}) {
        place(b, QRectF(x, 2, kButton, kButton));
        x += kButton + 4;
    }

    // From the right: the volume, then the two track menus when there is room.
    double right = W - 16;
    place(_voiceSlider, QRectF(right - 88, rowY + 10, 88, 12));
    _voiceSlider->initImagePosition();
    _voiceSlider->setSliderPos(volumePosition());
    right -= 88 + 4;
    place(_voiceButton, QRectF(right - 20, rowY + 6, 20, 20));
    right -= 20 + 24;
    const double groupLeft = 12 + 6 * (kButton + 4) + 24 + 16;
    const double menuRoom = right - groupLeft;
    const auto menuWidth = [](const LXPopupButtonCell *menu) {
        return std::clamp(double(menu->faceWidthForEntries()), kMenuWidth, kMaxMenuWidth);
    };
    const double audioW = menuWidth(_audioTracksBtn), subtitleW = menuWidth(_subTitlesBtn);
    const bool bothMenus = menuRoom >= audioW + subtitleW + 2 * 60 + 16;
    const bool oneMenu = menuRoom >= audioW + 60;
    _audioTracksBtn->setVisible(oneMenu);
    _audioCaption->setVisible(oneMenu);
    _subTitlesBtn->setVisible(bothMenus);
    _subTitleCaption->setVisible(bothMenus);
    if (oneMenu) {
        place(_audioTracksBtn, QRectF(right - audioW, rowY + 5, audioW, 22));
        right -= audioW + 6;
        place(_audioCaption, QRectF(right - 54, rowY + 7, 54, 18));
        right -= 54 + 16;
    }
    if (bothMenus) {
        place(_subTitlesBtn, QRectF(right - subtitleW, rowY + 5, subtitleW, 22));
        right -= subtitleW + 6;
        place(_subTitleCaption, QRectF(right - 60, rowY + 7, 60, 18));
    }
}

void LXMediaEditController::initButtons() {
    LXPlayerController::initButtons();
    dressButton(_firstButton, &D::firstNormalImage, &D::firstPressImage, "LXEditFirstNormal.png",
                "LXEditFirstPress.png");
    dressButton(_lastButton, &D::lastNormalImage, &D::lastPressImage, "LXEditLastNormal.png", "LXEditLastPress.png");
    dressButton(_previousButton, &D::previousNormalImage, &D::previousPressImage, "LXEditPreviousNormal.png",
                "LXEditPreviousPress.png");
    dressButton(_backToHome, &D::backNormalImage, &D::backPressImage, "LXSaveNormal.png", "LXSavePress.png");
    dressButton(_exportButton, &D::exportNormalImage, &D::exportPressImage, "ShareNormal.png", "SharePress.png");
    for (LXButton *b : {_firstButton, _lastButton, _previousButton, _backToHome, _exportButton})
        b->setDelegate(this);
    _firstButton->setToolTip(tr("goto previous media"));
    _lastButton->setToolTip(tr("goto next media"));
    _previousButton->setToolTip(tr("previous frame"));
    _backToHome->setToolTip(tr("done"));
}

void LXMediaEditController::initMovieEditView() {
    LXPlayerController::initMovieEditView();
    _bottomView->setBackGroundImage(picture(&D::bottomImage, "LXEditBtm.png"));
    _bottomView->setDelegate(this);
    _bottomView->setBEnabled(true);
    for (LXPopupButtonCell *menu : {_subTitlesBtn, _audioTracksBtn}) {
        menu->setPopupNormalImage(picture(&D::popNormalImage, "LXPopNormal.png"));
        menu->setPopupPressImage(picture(&D::popPressImage, "LXPopPress.png"));
        menu->setTitleColor(kTitleInk);
        menu->setFont(LXStyle::systemFont(12));
    }
    if (_delegate) {
        if (const auto c = _delegate->startLblTextColor(this))
            _startTimeLbl->setTextColor(*c);
        if (const auto c = _delegate->endLblTextColor(this))
            _endTimeLbl->setTextColor(*c);
    }
}

void LXMediaEditController::initCutSlider() {
    LXPlayerController::initCutSlider();
    _cutSlider->setCutDeltaY(-4);
    _cutSlider->setPosDeltaY(-3);
    _cutSlider->setSlideBgDeltaY(-3);
    _cutSlider->setSlideFgDeltaY(-3);
    _cutSlider->initRects();
    _cutSlider->becomeFirstResponder();
}

// ---------------------------------------------------------------------------------------
// Showing

void LXMediaEditController::previewScreenMovieAutoPlay(const LXMediaInfoPtr &item, bool autoPlay) {
    LXPlayerController::previewScreenMovieAutoPlay(item, autoPlay);
    updateTitle();
    if (!_editMovie) {
        _subTitlesBtn->clear();
        _audioTracksBtn->clear();
        _subTitlesBtn->setEnabled(false);
        _audioTracksBtn->setEnabled(false);
        return;
    }
    _playView->setIsAbsoluteEditor(true);
    updateFirstLastStatus();
    changeSubTitleInfo();
    changeAudioTrackInfo();
    _subTitlesBtn->setEnabled(true);
    _audioTracksBtn->setEnabled(_mediaInfoMgr && !_mediaInfoMgr->audioStreamNames().isEmpty());
    loadSubTitles();
    loadAudioTracks();
    // The editor opens on the kept range's first frame, after the track choices above (the
    // player keeps an exact position through their reloads).
    seekToTrimStart();
    updateOnMainControl();
}

void LXMediaEditController::updateTitle() {
    if (!_editMovie) {
        _titleLbl->setTextTitle(QString());
        _positionLbl->setTextTitle(QString());
        return;
    }
    _titleLbl->setTextTitle(QFileInfo(_editMovie->fileName()).fileName());
    _titleLbl->setToolTip(_editMovie->fileName());
    const uint64_t count = _editMovie->editMovieCount();
    _positionLbl->setTextTitle(count > 1 ? tr("%1 of %2").arg(_editMovie->editMovieIndex() + 1).arg(count) : QString());
}

void LXMediaEditController::updateFirstLastStatus() {
    const uint64_t index = _editMovie ? _editMovie->editMovieIndex() : 0;
    const uint64_t count = _editMovie ? _editMovie->editMovieCount() : 0;
    _firstButton->setBEnabled(_editMovie && index != 0);
    _lastButton->setBEnabled(_editMovie && count > 0 && index + 1 < count);
    _firstButton->update();
    _lastButton->update();
    updateTitle();
}

void LXMediaEditController::enableFirstLastStatus() {
    _firstButton->setBEnabled(true);
    _lastButton->setBEnabled(true);
}

void LXMediaEditController::enablePlayController(bool enable) {
    LXPlayerController::enablePlayController(enable);
    // Enabled, they still follow the item's place in the list: there is nothing before the
    // first item or after the last.
    if (enable) {
        updateFirstLastStatus();
    } else {
        _firstButton->setBEnabled(false);
        _lastButton->setBEnabled(false);
    }
}

void LXMediaEditController::previousMedia() {
    if (!_delegate || !_editMovie || _editMovie->editMovieIndex() == 0)
        return;
    const LXMediaInfoPtr item = _delegate->fetchEditMovieAtIndex(int64_t(_editMovie->editMovieIndex()) - 1);
    if (!item)
        return;
    previewScreenMovieAutoPlay(item, true);
    seekToTrimStart();
    updateFirstLastStatus();
}

void LXMediaEditController::nextMedia() {
    if (!_delegate || !_editMovie || _editMovie->editMovieIndex() + 1 >= _editMovie->editMovieCount())
        return;
    const LXMediaInfoPtr item = _delegate->fetchEditMovieAtIndex(int64_t(_editMovie->editMovieIndex()) + 1);
    if (!item)
        return;
    previewScreenMovieAutoPlay(item, true);
    seekToTrimStart();
    updateFirstLastStatus();
}

// ---------------------------------------------------------------------------------------
// Stepping

void LXMediaEditController::firstFrame() {
    if (!itemShown())
        return;
    _currentPosition = _editMovie->trackStartPos();
    seekToTrimStart();
    showTimes();
}

void LXMediaEditController::lastFrame() {
    if (!itemShown())
        return;
    const double T = totalDuration();
    _currentPosition = _editMovie->keptRange().endFraction(T);
    seekToTrimEnd();
    showTimes();
}

void LXMediaEditController::seekframe(double position) {
    if (!itemShown())
        return;
    const double p = std::isnan(position) ? 0.0 : std::clamp(position, 0.0, 1.0);
    const double T = totalDuration();
    pauseWhenPlay();
    _playView->seekTo(p);
    _currentPosition = p;
    showTimes();
    // The slider's cursor is what the apply buttons cut at: it shows the new place at once,
    // not only when the paused player gets round to reporting it.
    _cutSlider->playingCurTime(p, T * p);
    updateBtnStatus(false);
}

void LXMediaEditController::previous() {
    if (!itemShown())
        return;
    const double T = totalDuration();
    if (T <= 0)
        return;
    double t = T * _currentPosition;
    if (t > 0) {
        t -= 1.0;
        if (!(t > 0)) {
            t = 0;
            _currentPosition = 0;
        }
    }
    seekframe(t / T);
    _cutSlider->playingCurTime(t / T, t);
}

// ---------------------------------------------------------------------------------------
// Time texts

QString LXMediaEditController::preciseText(double seconds) {
    // Whole microseconds first, then the hundredths cut: a frame's time read back as
    // 0.0399999 s is the frame at 0.04 s, not one shown as 0.03.
    const double us = std::isnan(seconds) ? 0.0 : std::clamp(seconds * 1e6, 0.0, 9.0e18);
    return LXCommon::timeStringFromTimeIntValueBShowMM(std::llround(us) / 10000, true);
}

void LXMediaEditController::setPreciseTimes(const QString &start, const QString &end) {
    // In a precise-seek mode only the label of the end being sought is written.
    if (_bMicroSeekStart || !_bMicroSeekEnd)
        _startTimeLbl->setTextTitle(start);
    if (_bMicroSeekEnd || !_bMicroSeekStart)
        _endTimeLbl->setTextTitle(end);
}

int64_t LXMediaEditController::shownPictureUs() const {
    if (!itemShown())
        return 0;
    // A demuxer may start its clock at another stream's first packet (an MP4 whose sound
    // starts 0.02 s before its picture): the first picture is 0, whichever container.
    const int64_t firstPicture = std::max<int64_t>(0, _mediaInfoMgr->videoStartTime() - _playView->clockStartUs());
    return std::max<int64_t>(0, _playView->currentTimeUs() - firstPicture);
}

void LXMediaEditController::showTimes() {
    if (!_editMovie)
        return;
    const int64_t us = shownPictureUs();
    // Whole microseconds before whole seconds: 40 − 10 computed as 29.999999 is 30 s kept.
    const LXKeptRange kept = _editMovie->keptRange();
    const int64_t keptUs = kept.endUs - kept.startUs;
    drawTimeString(joinTimeStrDurationStr(fmt(double(us / 1000000)), fmt(double(keptUs / 1000000))));
    setPreciseTimes(LXCommon::timeStringFromTimeIntValueBShowMM(us / 10000, true), preciseText(_editMovie->trackEnd()));
}

void LXMediaEditController::updateTime(double, double) { showTimes(); }

void LXMediaEditController::adjustDisplayTimeStr() { showTimes(); }

void LXMediaEditController::updateOnMainControl() {
    if (!itemShown())
        return;
    showTimes();
    _cutSlider->playingCurTime(_currentPosition, double(_mediaInfoMgr->duration()) * _currentPosition / kMicro);
}

void LXMediaEditController::drawStartTimeStr(const QString &text) { _startTimeLbl->setTextTitle(text); }

void LXMediaEditController::drawEndTimeStr(const QString &text) { _endTimeLbl->setTextTitle(text); }

QString LXMediaEditController::curTimeStr(double progress) const {
    if (!_editMovie)
        return fmt(0);
    return fmt(progress * (_editMovie->trackEnd() - _editMovie->trackStart()));
}

void LXMediaEditController::cursorPositionChanging(double fraction) {
    LXMediaController::cursorPositionChanging(fraction);
    showTimes();
}

void LXMediaEditController::playerDidFinished(SWPlayer *player) {
    LXPlayerController::playerDidFinished(player);
    // Where the player parked.
    showTimes();
}

// ---------------------------------------------------------------------------------------
// Tracks

void LXMediaEditController::selectQuietly(LXPopupButtonCell *menu, int index) {
    const QSignalBlocker quiet(menu);
    menu->setCurrentIndex(index);
}

bool LXMediaEditController::existInnerSubTitles() const {
    return _mediaInfoMgr && !_mediaInfoMgr->subtitles().isEmpty();
}

void LXMediaEditController::loadSubTitles() {
    const QStringList names = _mediaInfoMgr ? _mediaInfoMgr->subtitles() : QStringList();
    {
        const QSignalBlocker quiet(_subTitlesBtn);
        _subTitlesBtn->clear();
        _subTitlesBtn->addItems(names);
        _subTitlesBtn->addItem(tr("Disable SubTitle"));
        _subTitlesBtn->addItem(tr("Plugin SubTitle"));
    }
    const int n = int(names.size());
    int selected = n; // "Disable SubTitle"
    if (_editMovie) {
        const int64_t chosen = _editMovie->subTitleIndex();
        // An attached file is what plays and what converts, so the menu shows it even when an
        // embedded track was chosen before.
        if (!_editMovie->srtSubtitleFile().isEmpty())
            selected = n + 1;
        else if (chosen >= 0 && chosen < n)
            selected = int(chosen);
    }
    selectQuietly(_subTitlesBtn, selected);
    _lastSelectIdx = selected;
}

void LXMediaEditController::loadAudioTracks() {
    const QStringList names = _mediaInfoMgr ? _mediaInfoMgr->audioStreamNames() : QStringList();
    {
        const QSignalBlocker quiet(_audioTracksBtn);
        _audioTracksBtn->clear();
        _audioTracksBtn->addItems(names);
        _audioTracksBtn->addItem(tr("Disable Audio"));
    }
    const int n = int(names.size());
    const int64_t chosen = _editMovie ? _editMovie->audioStreamIndex() : -1;
    selectQuietly(_audioTracksBtn, chosen >= 0 && chosen < n ? int(chosen) : n);
    _audioTracksBtn->setEnabled(n > 0);
    // The menu's width follows its names.
    layoutInterface();
}

void LXMediaEditController::subTitlesChanged(int index) {
    if (!_editMovie)
        return;
    const int n = _mediaInfoMgr ? int(_mediaInfoMgr->subtitles().size()) : 0;
    bool changed = false;
    if (n > 0 && index < n) {
        _editMovie->setSrtSubtitleFile(QString());
        _editMovie->setSubTitleIndex(index);
        _lastSelectIdx = index;
        changed = true;
    } else if ((n > 0 && index == n) || (n == 0 && index == 0)) {
        _editMovie->setSrtSubtitleFile(QString());
        _editMovie->setSubTitleIndex(-1);
        _lastSelectIdx = index;
        changed = true;
    } else {
        addFile();
    }
    changeSubTitleInfo();
    if (changed && _delegate)
        _delegate->changeSubTitleStreamAtIndex(this, _editMovie->subTitleIndex());
}

void LXMediaEditController::audioTracksChanged(int index) {
    if (!_editMovie)
        return;
    const int n = _mediaInfoMgr ? int(_mediaInfoMgr->audioStreamNames().size()) : 0;
    _editMovie->setAudioStreamIndex(index == n || index < 0 ? -1 : index);
    changeAudioTrackInfo();
    if (_delegate)
        _delegate->changeAudioStreamAtIndex(this, _editMovie->audioStreamIndex());
}

void LXMediaEditController::addFile() {
    if (!_editMovie) {
        selectQuietly(_subTitlesBtn, int(_lastSelectIdx));
        return;
    }
    if (_subtitleChooser) {
        _subtitleChooser->raise();
        return;
    }
    pauseWhenPlay();
    QWidget *sheetOn = _window ? _window->window() : QWidget::window();
    auto *chooser =
        new QFileDialog(sheetOn, tr("Choose a subtitle file"), QFileInfo(_editMovie->fileName()).absolutePath(),
                        tr("SubRip subtitles (*.srt *.SRT)"));
    chooser->setObjectName(QStringLiteral("subtitleChooser"));
    chooser->setFileMode(QFileDialog::ExistingFile);
    chooser->setAcceptMode(QFileDialog::AcceptOpen);
    chooser->setWindowModality(Qt::WindowModal);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    _subtitleChooser = chooser;
    connect(chooser, &QFileDialog::fileSelected, this, [this](const QString &path) { subtitleFileChosen(path); });
    connect(chooser, &QDialog::rejected, this, [this] { subtitleFileChosen(QString()); });
    chooser->open();
}

void LXMediaEditController::subtitleFileChosen(const QString &path) {
    if (path.isEmpty() || !_editMovie) {
        selectQuietly(_subTitlesBtn, int(_lastSelectIdx));
        return;
    }
    _editMovie->setSrtSubtitleFile(path);
    loadPluginSubTitle(path);
    // The menu shows "Plugin SubTitle" whichever way the chooser was reached.
    selectQuietly(_subTitlesBtn, _subTitlesBtn->count() - 1);
    _lastSelectIdx = _subTitlesBtn->currentIndex();
    if (_delegate)
        _delegate->loadPluginSubTitle(this, path);
}

// ---------------------------------------------------------------------------------------
// Export

QStringList LXMediaEditController::exportTypeArray() {
    return {tr("Local"), tr("Media library"), QStringLiteral("Facebook"), QStringLiteral("Youtube")};
}

void LXMediaEditController::initCB() {
    LXPopUpButton *b = _exportTypePopupBtn;
    b->setDelegate(this);
    b->setNormalImage(LXImage::named(QStringLiteral("popupMenu_Normal2.png")));
    b->setPressImage(LXImage::named(QStringLiteral("popupMenu_Press2.png")));
    b->setPopupMenuItemBg(LXImage::named(QStringLiteral("popupMenuItem_Bg2.png")));
    b->setYOffSet(2.0);
    b->setXOffSet(-1.0);
    b->initItemsSelectIndex(exportTypeArray(), 0);
    b->setToolTip(tr("export this item"));
    initExportTypeItem();
    _exportType = 1;
}

void LXMediaEditController::initExportTypeItem() {
    _exportTypePopupBtn->updateItemWithStrValue(foundation::tr_(kExportToLabelKey, QString()));
}

void LXMediaEditController::exportWithType(int type) {
    _exportType = type;
    // The export's sheet is modal: what plays behind it stops.
    pauseWhenPlay();
    _lastExport =
        LXMediaConvertController::startExport(_editMovie, _outputPath, _window ? _window.data() : this, type, this);
    QTimer::singleShot(kExportTitleRestoreMs, this, [this] { initExportTypeItem(); });
}

void LXMediaEditController::itemSelectAtIndex(LXPopUpButton *button, int index) {
    if (button == _exportTypePopupBtn)
        exportWithType(index);
}

// ---------------------------------------------------------------------------------------
// Commands

void LXMediaEditController::playerBlankSpaceKeyDown(SWPlayer *) { playing(); }

void LXMediaEditController::clickView(LXView *) { LXCommon::popupDownMenu(); }

void LXMediaEditController::buttonUp(LXButton *button) {
    LXPlayerController::buttonUp(button);
    if (button == _previousButton) {
        previous();
    } else if (button == _lastButton) {
        if (_delegate)
            _delegate->gotoNextItem(this);
        if (_delegate)
            _delegate->gotoLastFrame(this);
    } else if (button == _firstButton) {
        if (_delegate)
            _delegate->gotoPreviousItem(this);
        if (_delegate)
            _delegate->gotoFirstFrame(this);
    } else if (button == _backToHome) {
        // Last: the application may release this screen in answer.
        if (_delegate)
            _delegate->backToMainPage(this);
    }
}
